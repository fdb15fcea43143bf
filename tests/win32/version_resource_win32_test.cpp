// Both programs carry the product's version resource, read back as Windows reads it (the file's
// Properties, "Apps & features").
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cv3_version.h"

namespace {

std::wstring StringValue(const std::vector<char>& info, const std::wstring& name) {
  void* value = nullptr;
  UINT length = 0;
  std::wstring path = L"\\StringFileInfo\\040904B0\\" + name;
  if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || length == 0) return L"?";
  return static_cast<const wchar_t*>(value);
}

// Both programs at these paths carry the product's version resource.
void ExpectProductVersion(const std::wstring& client, const std::wstring& guard) {
  const struct {
    std::wstring path;
    const wchar_t* name;
    const wchar_t* description;
  } programs[] = {
      {client, L"cv3client.exe", L"Corvane 3 lobby client"},
      {guard, L"cv3guard.exe", L"Corvane 3 dedicated-server watchdog"},
  };
  const std::wstring version = L"" CV3_VERSION_TEXT;
  for (const auto& program : programs) {
    DWORD size = GetFileVersionInfoSizeW(program.path.c_str(), nullptr);
    ASSERT_GT(size, 0u) << program.name;
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(program.path.c_str(), 0, size, info.data()));
    EXPECT_EQ(StringValue(info, L"ProductName"), L"Corvane");
    EXPECT_EQ(StringValue(info, L"ProductVersion"), version);
    EXPECT_EQ(StringValue(info, L"FileVersion"), version);
    EXPECT_EQ(StringValue(info, L"FileDescription"), program.description);
    EXPECT_EQ(StringValue(info, L"OriginalFilename"), program.name);
    EXPECT_NE(StringValue(info, L"LegalCopyright"), L"?");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwProductVersionMS, DWORD(MAKELONG(CV3_VERSION_MINOR, CV3_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwProductVersionLS, DWORD(MAKELONG(0, CV3_VERSION_PATCH)));
  }
}

TEST(VersionResource, BothProgramsCarryTheProductVersion) {
  ExpectProductVersion(CV3_CLIENT_EXE, CV3_GUARD_EXE);
}

// The packed programs (stripped, built for size) keep it: the package step names the unpacked
// folder (a Unix path, seen through Wine's Z: drive).
TEST(VersionResource, ThePackagedProgramsCarryTheProductVersion) {
  const char* folder = std::getenv("CV3_PACKAGE_DIR");
  if (!folder) GTEST_SKIP() << "CV3_PACKAGE_DIR is not set: no unpacked package to read";
  std::wstring root = L"Z:" + std::wstring(folder, folder + std::strlen(folder));
  ExpectProductVersion(root + L"/cv3client.exe", root + L"/cv3guard.exe");
}

}  // namespace
