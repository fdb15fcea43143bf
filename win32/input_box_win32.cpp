#include "win32/input_box_win32.h"

#include "win32/form_win32.h"

namespace cv3 {
namespace {

enum ControlId { kTxtInput = 101, kCmdOk, kCmdCancel };

class InputBoxForm : public Form {
 public:
  explicit InputBoxForm(HWND owner) : Form(owner) {}

  std::string Ask(const std::string& prompt, const std::string& title,
                  const std::string& defaultText) {
    if (!CreateForm(kInputBoxClassName, Widen(title), 6000, 1575)) return "";
    SetKeyButtons(kCmdOk, kCmdCancel);
    // The prompt first: screen readers name the text box by the label before it.
    AddControl(L"STATIC", Widen(prompt), SS_LEFT | SS_NOPREFIX, 120, 120, 4440, 900);
    HWND text = AddTextBox(WS_GROUP, 120, 1140, 5760, kTxtInput);
    AddButton(L"OK", 4680, 120, kCmdOk, true);
    AddButton(L"Cancel", 4680, 600, kCmdCancel);
    SetControlText(text, defaultText);
    SendMessageW(text, EM_SETSEL, 0, -1);
    RunModal(text);
    return answer_;
  }

 protected:
  void OnClick(int id) override {
    if (id == kCmdOk) answer_ = GetControlText(GetDlgItem(hwnd_, kTxtInput));
    if (id == kCmdOk || id == kCmdCancel) EndModal();
  }

 private:
  std::string answer_;
};

}  // namespace

std::string ShowInputBox(HWND owner, const std::string& prompt, const std::string& title,
                         const std::string& defaultText) {
  return InputBoxForm(owner).Ask(prompt, title, defaultText);
}

}  // namespace cv3
