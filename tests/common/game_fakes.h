// Stand-ins for the game windows' controllers: a recording GameStarter, message boxes that answer
// from a script, and an installed game (registry values and files) to switch parts of on and off.
// Everything writes into one ordered log.
#pragma once

#include <deque>
#include <string>

#include "common/client_fakes.h"
#include "common/game_installation.h"
#include "cv3client/games/game_starter.h"

namespace cv3::testing {

class RecordingStarter : public GameStarter {
 public:
  explicit RecordingStarter(Log& log) : log_(log) {}
  void StartJoin(const std::string& runPath, const std::string& targetAddress) override {
    log_.push_back("join " + runPath + " " + targetAddress);
  }
  void StartNewServer(const std::string& runPath, const std::string& savePath,
                      const std::string& saveFileName, int dedicated) override {
    log_.push_back("new server " + runPath + " " + savePath + " " + saveFileName + " " +
                   std::to_string(dedicated));
  }
  void StartSavedServer(const std::string& runPath, const std::string& savePath,
                        const std::string& saveFileName, int dedicated) override {
    log_.push_back("saved server " + runPath + " " + savePath + " " + saveFileName + " " +
                   std::to_string(dedicated));
  }

 private:
  Log& log_;
};

// A box as the log shows it; a question says so, since its answer matters.
inline std::string DescribeBox(const MessageBoxSpec& box) {
  std::string text = Describe(box);
  return box.buttons == BoxButtons::kYesNo ? text + " [yes/no]" : text;
}

// The main window's message boxes: each question takes the next scripted answer (No when none).
class ScriptedMessages : public MessageView {
 public:
  explicit ScriptedMessages(Log& log) : log_(log) {}
  BoxResult ShowMessage(const MessageBoxSpec& box) override {
    log_.push_back(DescribeBox(box));
    if (box.buttons != BoxButtons::kYesNo) return BoxResult::kOk;
    if (answers.empty()) return BoxResult::kNo;
    BoxResult answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::string InputBox(const std::string&, const std::string&, const std::string&) override {
    return {};
  }
  std::deque<BoxResult> answers;

 private:
  Log& log_;
};

// An installed game: its key's four values and its three files, all present.
struct InstalledGameFixture {
  static constexpr const char* kRunPath = "C:\\Games\\Sky Rend";
  static constexpr const char* kSavePath = "C:\\Games\\Sky Rend\\save";
  TestRegistry settings;
  FakeFiles files;
  Registry& registry = settings.registry;

  InstalledGameFixture() {
    registry.CreateKey(kGameKey);
    registry.SetString(kGameKey, "RunPath", kRunPath);
    registry.SetString(kGameKey, "SavePath", kSavePath);
    registry.SetString(kGameKey, "DataPath", "C:\\Games\\Sky Rend\\data");
    registry.SetString(kGameKey, "Version", "1.06");
    for (const char* file : {"Veltrop.exe", "Skyrend.res", "SkyrendW.exe"}) {
      AddFile(std::string(kRunPath) + "\\" + file);
    }
  }
  void AddFile(const std::string& path) { files.Add(path, "SHORT~" + path); }
  void RemoveRunFile(const char* file) {
    files.shortForms.erase(std::string(kRunPath) + "\\" + file);
  }
  // The game key's DWORD, as text: a number or "Error".
  std::string GameDWord(std::string_view name) {
    return registry.GetDWord(kGameKey, name).ToText();
  }
};

}  // namespace cv3::testing
