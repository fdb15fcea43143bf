// Fakes of the chat and away windows for the client core's tests: each writes what happens to
// it into a log of the test's, and hands the test its events.
#pragma once

#include <functional>
#include <string>

#include "common/client_fakes.h"
#include "cv3client/ui/away.h"
#include "cv3client/ui/chat.h"

namespace cv3::testing {

// frmChat, recorded into one log shared by every window: "<partner>: what happened".
class FakeChatView : public ChatView {
 public:
  explicit FakeChatView(Log& log) : log_(log) {}
  bool Create(const std::string& caption, bool lobbySize, ChatEvents& events) override {
    caption_ = caption;
    events_ = &events;
    Note(std::string("created") + (lobbySize ? " lobby size" : ""));
    return true;
  }
  bool IsVisible() const override { return visible; }
  void ShowWindow() override {
    visible = true;
    Note("shown");
  }
  void Hide() override {
    visible = false;
    Note("hidden");
  }
  bool IsActive() const override { return active; }
  void Flash() override { Note("flash"); }
  void AppendOutput(const std::string& text, int colour) override {
    output += text;
    Note("append " + text.substr(0, text.size() - 2) +
         (colour >= 0 ? " colour " + Hex(static_cast<uint32_t>(colour)) : ""));
  }
  std::string InputText() const override { return input; }
  void ClearInput() override {
    input.clear();
    Note("input cleared");
  }
  void Unload() override { Note("unloaded"); }

  ChatEvents& events() { return *events_; }
  bool visible = false;
  bool active = false;
  std::string input;
  std::string output;

 private:
  void Note(const std::string& what) { log_.push_back(caption_ + ": " + what); }
  Log& log_;
  std::string caption_;
  ChatEvents* events_ = nullptr;
};

class FakeAwayView : public AwayView {
 public:
  explicit FakeAwayView(Log& log) : log_(log) {}
  void ShowModal(AwayEvents& events) override {
    log_.push_back("shown with [" + text + "]");
    if (onShow) onShow(*this, events);
  }
  std::string AwayMessage() const override { return text; }
  BoxResult ShowMessage(const MessageBoxSpec& box) override {
    log_.push_back("box [" + box.title + "] " + (box.icon == BoxIcon::kNone ? "" : "icon ") +
                   box.text);
    return BoxResult::kOk;
  }
  void Hide() override { log_.push_back("hide"); }

  std::string text;
  std::function<void(FakeAwayView&, AwayEvents&)> onShow;

 private:
  Log& log_;
};

}  // namespace cv3::testing
