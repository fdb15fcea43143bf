#include "common/registry_win32.h"

#include <windows.h>

#include "common/registry_cases.h"

namespace cv3 {
namespace {

void DeleteScratchKey() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\CorvaneRegistryTest"); }

INSTANTIATE_TEST_SUITE_P(Win32, RegistryCases,
                         ::testing::Values(RegistryBackendParam{
                             "Win32", [] { return std::make_unique<Win32Registry>(); },
                             DeleteScratchKey}),
                         [](const auto& info) { return info.param.name; });

class Win32RegistryRaw : public ::testing::Test {
 protected:
  void SetUp() override { DeleteScratchKey(); }
  void TearDown() override { DeleteScratchKey(); }
  Win32Registry backend_;
  std::vector<MessageBoxSpec> boxes_;
  Registry registry_{backend_, [this](const MessageBoxSpec& b) { boxes_.push_back(b); }, "Corvane"};
};

TEST_F(Win32RegistryRaw, StringIsStoredAsRegSzWithItsZeroCounted) {
  registry_.CreateKey("HKEY_CURRENT_USER\\Software\\CorvaneRegistryTest");
  registry_.SetString("HKEY_CURRENT_USER\\Software\\CorvaneRegistryTest", "CvAddress",
                      "caf\xC3\xA9");
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\CorvaneRegistryTest", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  BYTE data[16] = {};
  size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(key, "CvAddress", nullptr, &type, data, &size), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 5), std::string("caf\xE9\0", 5));
}

TEST_F(Win32RegistryRaw, StringStoredWithoutItsZeroIsReadWhole) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\CorvaneRegistryTest", 0, nullptr, 0,
                            KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
  RegCloseKey(key);
  EXPECT_EQ(registry_.GetString("HKEY_CURRENT_USER\\Software\\CorvaneRegistryTest", "Raw"), "abc");
}

TEST_F(Win32RegistryRaw, DWordIsStoredAsRegDword) {
  registry_.CreateKey("HKEY_CURRENT_USER\\Software\\CorvaneRegistryTest");
  registry_.SetDWord("HKEY_CURRENT_USER\\Software\\CorvaneRegistryTest", "TerminalServerPort",
                     9001);
  DWORD type = 0, value = 0, size = sizeof value;
  EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, "Software\\CorvaneRegistryTest", "TerminalServerPort",
                         RRF_RT_ANY, &type, &value, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(value, 9001u);
}

}  // namespace
}  // namespace cv3
