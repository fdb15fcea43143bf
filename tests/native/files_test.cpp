#include "common/files.h"

#include <gtest/gtest.h>

#include "common/fake_files.h"

namespace cv3 {
namespace {

TEST(FileExists, AsksTheListingForTheShortFormOnlyWhenThereIsOne) {
  FakeFiles files;
  files.Add("C:\\Program Files\\Skyrend\\Save\\Friday Night.sav",
            "C:\\PROGRA~1\\Skyrend\\Save\\FRIDAY~1.SAV");
  // Listed once but gone since: the short form is still known, the listing finds nothing.
  files.shortForms["C:\\Games\\gone.sav"] = "C:\\Games\\gone.sav";

  struct Case {
    std::string path;
    bool exists;
    std::vector<std::string> listings;
  };
  const Case cases[] = {
      {"C:\\Program Files\\Skyrend\\Save\\Friday Night.sav",
       true,
       {"C:\\PROGRA~1\\Skyrend\\Save\\FRIDAY~1.SAV"}},
      {"C:\\Program Files\\Skyrend\\Save\\Other.sav", false, {}},
      {"C:\\Games\\gone.sav", false, {"C:\\Games\\gone.sav"}},
      {"", false, {}},
  };
  for (const Case& c : cases) {
    files.listings.clear();
    EXPECT_EQ(FileExists(files, c.path), c.exists) << c.path;
    EXPECT_EQ(files.listings, c.listings) << c.path;
  }
}

}  // namespace
}  // namespace cv3
