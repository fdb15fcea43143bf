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

// The system's argument parsers give each word back whole; words that need no quotes stay as
// they are, so short paths and the game's switches are unchanged.
TEST(QuoteArgument, QuotesOnlyWhatWouldSplitAndEscapesQuotesAndTheirBackslashes) {
  const std::pair<std::string, std::string> cases[] = {
      {"/t:newded", "/t:newded"},
      {"C:\\PROGRA~1\\Skyrend\\skyrendw.exe", "C:\\PROGRA~1\\Skyrend\\skyrendw.exe"},
      {"C:\\Program Files\\Skyrend", "\"C:\\Program Files\\Skyrend\""},
      {"a\tb", "\"a\tb\""},
      {"", "\"\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\\\"b", "\"a\\\\\\\"b\""},                // a\"b: the backslash doubled, the quote escaped
      {"C:\\My Games\\", "\"C:\\My Games\\\\\""},  // a last backslash doubled before the quote
      {"C:\\a\\\\b c", "\"C:\\a\\\\b c\""},        // backslashes elsewhere stay single
  };
  for (const auto& [word, quoted] : cases) EXPECT_EQ(QuoteArgument(word), quoted) << word;
  EXPECT_EQ(CommandLineOf({"C:\\Program Files\\Corvane\\cv3guard.exe", "Friday.sav"}),
            "\"C:\\Program Files\\Corvane\\cv3guard.exe\" Friday.sav");
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
