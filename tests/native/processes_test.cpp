#include "common/processes.h"

#include <gtest/gtest.h>

#include "common/fake_processes.h"

namespace cv3 {
namespace {

using namespace std::string_literals;

TEST(ExecutableNameMatches, ComparesTheFileNameWithoutRegardToCase) {
  struct Case {
    std::string listed;
    std::string wanted;
    bool matches;
  };
  const Case cases[] = {
      {"skyrendw.exe", "skyrendw.exe", true},
      {"SkyrendW.exe", "skyrendw.exe", true},
      {"skyrendw.exe", "SKYRENDW.EXE", true},
      {"C:\\Games\\Skyrend\\SkyrendW.exe", "skyrendw.exe", true},
      {"\\skyrendw.exe", "skyrendw.exe", true},
      {"skyrendw.exe\0old name"s, "skyrendw.exe", true},
      {"\xC3\x89QUIPE.EXE", "\xC3\xA9quipe.exe", true},  // ÉQUIPE.EXE, équipe.exe
      {"skyrendw.exe", "skyrendw", false},
      {"skyrendw", "skyrendw.exe", false},
      {"xskyrendw.exe", "skyrendw.exe", false},
      {"skyrendw.exe.bak", "skyrendw.exe", false},
      {"skyrendw.exe ", "skyrendw.exe", false},
      {"C:\\skyrendw.exe\\veltrop.exe", "skyrendw.exe", false},
      {"C:\\Games\\", "skyrendw.exe", false},
      {"", "skyrendw.exe", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExecutableNameMatches(c.listed, c.wanted), c.matches)
        << "listed \"" << c.listed << "\", wanted \"" << c.wanted << "\"";
  }
}

TEST(KillProcessByName, TerminatesEveryMatchingProcessEvenWhenOneRefuses) {
  FakeProcesses processes;
  processes.running = {{"explorer.exe", 10},
                       {"SkyrendW.exe", 20},
                       {"skyrendw.exe", 30},
                       {"veltrop.exe", 40},
                       {"SKYRENDW.EXE", 50}};
  processes.unkillable = {20};
  KillProcessByName(processes, "skyrendw.exe");
  EXPECT_EQ(processes.terminated, (std::vector<uint32_t>{20, 30, 50}));
  EXPECT_EQ(
      processes.running,
      (std::vector<ProcessEntry>{{"explorer.exe", 10}, {"SkyrendW.exe", 20}, {"veltrop.exe", 40}}));
}

}  // namespace
}  // namespace cv3
