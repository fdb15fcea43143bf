#include "common/processes.h"

#include "protocol/text_helpers.h"

namespace cv3 {

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
