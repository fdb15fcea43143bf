#include "common/game_installation.h"

#include <gtest/gtest.h>

#include <utility>

#include "common/fake_files.h"
#include "common/registry_memory.h"

namespace cv3 {
namespace {

constexpr char kRun[] = "C:\\Program Files\\Skyrend";
constexpr char kRunShort[] = "C:\\PROGRA~1\\Skyrend";

// A complete installation, then one value or file missing per case: each fails the test, and
// every file is still looked at (no early exit).
TEST(InstallationComplete, PassesOnlyWithAllSixConditions) {
  const std::string files[] = {"\\Veltrop.exe", "\\Skyrend.res", "\\SkyrendW.exe"};
  const std::string shortForms[] = {"C:\\PROGRA~1\\Skyrend\\VELTROP.EXE",
                                    "C:\\PROGRA~1\\Skyrend\\SKYREN~1.RES",
                                    "C:\\PROGRA~1\\Skyrend\\SKYREN~1.EXE"};
  struct Case {
    std::string missing;  // a value or a file
    bool complete;
    std::vector<std::string> listings;
  };
  const Case cases[] = {
      {"", true, {shortForms[0], shortForms[1], shortForms[2]}},
      {"\\Veltrop.exe", false, {shortForms[1], shortForms[2]}},
      {"\\Skyrend.res", false, {shortForms[0], shortForms[2]}},
      {"\\SkyrendW.exe", false, {shortForms[0], shortForms[1]}},
      // "Error\Veltrop.exe" and the others have no short form: nothing to list.
      {"RunPath", false, {}},
      {"Version", false, {shortForms[0], shortForms[1], shortForms[2]}},
      {"DataPath", false, {shortForms[0], shortForms[1], shortForms[2]}},
  };
  for (const Case& c : cases) {
    MemoryRegistry backend;
    Registry registry(
        backend, [](const MessageBoxSpec&) {}, "Corvane");
    registry.CreateKey(kGameKey);
    const std::pair<std::string, std::string> values[] = {
        {"RunPath", kRun}, {"DataPath", "C:\\Program Files\\Skyrend\\Data"}, {"Version", "1.21b"}};
    for (const auto& [name, value] : values) {
      if (c.missing != name) registry.SetString(kGameKey, name, value);
    }
    FakeFiles fakeFiles;
    fakeFiles.Add(kRun, kRunShort);
    for (int i = 0; i < 3; ++i) {
      if (c.missing != files[i]) fakeFiles.Add(kRun + files[i], shortForms[i]);
    }

    InstalledGame game = ReadInstalledGame(registry);
    EXPECT_EQ(game.savePath, "Error") << c.missing;  // not part of the test
    EXPECT_EQ(InstallationComplete(fakeFiles, game), c.complete) << c.missing;
    EXPECT_EQ(fakeFiles.listings, c.listings) << c.missing;
  }
}

TEST(InstallationComplete, RefusalBox) {
  EXPECT_EQ(NotInstalledBox(), (MessageBoxSpec{"Skyrend does not appear to be installed!",
                                               "Warning!", BoxIcon::kCritical, BoxButtons::kOk}));
}

}  // namespace
}  // namespace cv3
