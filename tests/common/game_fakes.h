// Stand-ins for the game windows' controllers: a recording GameStarter, message boxes answered
// from a script, and an installed game (its key's values and its files). All write one log.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "common/client_fakes.h"
#include "common/game_installation.h"
#include "cv3client/games/game_starter.h"

namespace cv3::testing {

class RecordingStarter : public GameStarter {
 public:
  explicit RecordingStarter(Log& log) : log_(log) {}
  void StartJoin(const std::string& runPath, const std::string& address) override {
    log_.push_back("join " + runPath + " " + address);
  }
  bool StartNewServer(const std::string& runPath, const std::string& savePath,
                      const std::string& file, int dedicated) override {
    return Started("new " + runPath + " " + savePath + " " + file + " " +
                   std::to_string(dedicated));
  }
  bool StartSavedServer(const std::string& runPath, const std::string& savePath,
                        const std::string& file, int dedicated) override {
    return Started("saved " + runPath + " " + savePath + " " + file + " " +
                   std::to_string(dedicated));
  }
  bool startsFail = false;  // every server start fails (the launcher has told the player)

 private:
  bool Started(std::string entry) {
    log_.push_back(std::move(entry) + (startsFail ? " failed" : ""));
    return !startsFail;
  }
  Log& log_;
};

// Each question takes the next scripted answer (No when none is left); `whileOpen` runs while a
// box is open, as the program's own events may.
class ScriptedMessages : public MessageView {
 public:
  explicit ScriptedMessages(Log& log) : log_(log) {}
  BoxResult ShowMessage(const MessageBoxSpec& box) override {
    log_.push_back(DescribeBox(box));
    if (whileOpen) whileOpen();
    if (box.buttons != BoxButtons::kYesNo) return BoxResult::kOk;
    BoxResult answer = answers.empty() ? BoxResult::kNo : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  }
  std::string InputBox(const std::string&, const std::string&, const std::string&) override {
    return {};
  }
  std::deque<BoxResult> answers;
  std::function<void()> whileOpen;

 private:
  Log& log_;
};

// An installed game: the key's four values and the three files of the run folder.
struct InstalledGameFixture {
  static constexpr const char* kRunPath = "C:\\Sky Rend";
  TestRegistry settings;
  FakeFiles files;
  Registry& registry = settings.registry;

  InstalledGameFixture() {
    registry.CreateKey(kGameKey);
    for (const char* name : {"RunPath", "SavePath", "DataPath", "Version"}) {
      registry.SetString(kGameKey, name, name == std::string("Version") ? "1.06" : kRunPath);
    }
    for (const char* file : {"\\Veltrop.exe", "\\Skyrend.res", "\\SkyrendW.exe"}) {
      AddFile(kRunPath + std::string(file));
    }
  }
  void AddFile(const std::string& path) { files.Add(path, "SHORT~" + path); }
  // A DWORD of the game's key as text: a number, or "Error" when it was never written.
  std::string GameDWord(std::string_view name) {
    return registry.GetDWord(kGameKey, name).ToText();
  }
};

}  // namespace cv3::testing
