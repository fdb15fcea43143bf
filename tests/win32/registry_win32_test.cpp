#include "common/registry_win32.h"

#include <windows.h>

#include "common/registry_cases.h"
#include "common/wide_text_win32.h"

namespace cv3 {
namespace {

void DeleteScratchKey() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\CorvaneRegistryTest"); }

INSTANTIATE_TEST_SUITE_P(
    Win32, RegistryCases,
    ::testing::Values(RegistryBackendParam{
        "Win32", [] { return std::make_unique<Win32Registry>(); }, DeleteScratchKey,
        [](RegistryBackend&, const std::string& name, const std::string& value) {
          SetEnvironmentVariableW(Widen(name).c_str(), Widen(value).c_str());
        }}),
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

// The game's folders on a Polish (or any non-Western) system: written by the game in the W
// form, read whole; and what we write is read by the game as the same text.
TEST_F(Win32RegistryRaw, TextOutsideTheCodePageIsReadAndWrittenWhole) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\CorvaneRegistryTest", 0, nullptr, 0,
                            KEY_READ | KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::wstring runPath = L"C:\\Gry\\\u0141\u00F3d\u017A";  // C:\Gry\Łódź
  RegSetValueExW(key, L"RunPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(runPath.c_str()),
                 static_cast<DWORD>((runPath.size() + 1) * sizeof(wchar_t)));
  EXPECT_EQ(registry_.GetString("HKEY_CURRENT_USER\\Software\\CorvaneRegistryTest", "RunPath"),
            "C:\\Gry\\\xC5\x81\xC3\xB3"
            "d\xC5\xBA");
  registry_.SetString("HKEY_CURRENT_USER\\Software\\CorvaneRegistryTest", "SavePath",
                      "C:\\\xE6\x97\xA5\xE6\x9C\xAC");  // C:\日本
  wchar_t read[16] = {};
  DWORD type = 0, size = sizeof read;
  EXPECT_EQ(
      RegQueryValueExW(key, L"SavePath", nullptr, &type, reinterpret_cast<BYTE*>(read), &size),
      ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::wstring(read, size / sizeof(wchar_t)), std::wstring(L"C:\\\u65E5\u672C", 6));
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
