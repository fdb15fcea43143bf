// UTF-8 <-> UTF-16 at the boundary of the W API: text is UTF-8 inside both programs. Any Win32
// backend may call these; any thread.
#pragma once

#include <string>
#include <string_view>

namespace cv3 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace cv3
