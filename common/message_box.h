// A message box as a value: controllers ask their view to show one and get the button pressed.
#pragma once

#include <string>

namespace cv3 {

enum class BoxIcon { kNone, kExclamation, kCritical, kInformation, kQuestion };
enum class BoxButtons { kOk, kOkCancel, kYesNo };
enum class BoxResult { kOk, kCancel, kYes, kNo };

struct MessageBoxSpec {
  std::string text;
  std::string title;
  BoxIcon icon = BoxIcon::kNone;
  BoxButtons buttons = BoxButtons::kOk;
  bool operator==(const MessageBoxSpec&) const = default;
};

inline MessageBoxSpec WarningBox(std::string text) {
  return {std::move(text), "Warning!", BoxIcon::kExclamation, BoxButtons::kOk};
}
inline MessageBoxSpec ErrorBox(std::string text) {
  return {std::move(text), "Error!", BoxIcon::kCritical, BoxButtons::kOk};
}

}  // namespace cv3
