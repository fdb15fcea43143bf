#include "common/processes.h"

#include "protocol/text_helpers.h"

namespace cv3 {

std::string QuoteArgument(std::string_view word) {
  if (!word.empty() && word.find_first_of(" \t\n\v\"") == std::string_view::npos) {
    return std::string(word);
  }
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes are literal unless a quote follows them.
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + '"';
}

std::string CommandLineOf(std::initializer_list<std::string_view> words) {
  std::string line;
  for (std::string_view word : words) {
    if (!line.empty()) line += ' ';
    line += QuoteArgument(word);
  }
  return line;
}

bool ExecutableNameMatches(std::string_view listedName, std::string_view wanted) {
  std::string_view name = listedName;
  if (size_t slash = name.rfind('\\'); slash != std::string_view::npos) {
    name.remove_prefix(slash + 1);
  }
  name = name.substr(0, name.find('\0'));
  return SameName(name, wanted);
}

void KillProcessByName(Processes& processes, std::string_view exeName) {
  for (const ProcessEntry& process : processes.ListProcesses()) {
    if (ExecutableNameMatches(process.exeName, exeName)) processes.Terminate(process.id);
  }
}

}  // namespace cv3
