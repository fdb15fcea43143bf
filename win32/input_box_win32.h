// A small modal prompt over an owner window: the prompt, one text box, OK and Cancel. For the
// main window's MessageView::InputBox. UI thread only.
#pragma once

#include <windows.h>

#include <string>

namespace cv3 {

inline constexpr wchar_t kInputBoxClassName[] = L"Cv3InputBox";

// Returns when the box is closed: the text as typed after OK (or Enter), the empty text after
// Cancel, Esc or the close box.
std::string ShowInputBox(HWND owner, const std::string& prompt, const std::string& title,
                         const std::string& defaultText);

}  // namespace cv3
