#include "common/files_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "common/wide_text_win32.h"

namespace cv3 {
namespace {

std::wstring LongForm(const std::wstring& path) {
  wchar_t buffer[MAX_PATH];
  DWORD n = GetLongPathNameW(path.c_str(), buffer, MAX_PATH);
  return std::wstring(buffer, n < MAX_PATH ? n : 0);
}

// A scratch folder with a space in its name, holding one file.
class Win32FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"Corvane Files Test";
    file_ = folder_ + L"\\Friday Night.sav";
    CreateDirectoryW(folder_.c_str(), nullptr);
    HANDLE h = CreateFileW(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
  }
  void TearDown() override {
    DeleteFileW(file_.c_str());
    RemoveDirectoryW(folder_.c_str());
  }
  std::wstring folder_, file_;
  Win32Files files_;
};

TEST_F(Win32FilesTest, ShortFormOfAFolderWithASpaceHasNoSpaceAndNamesTheSameFolder) {
  std::string shortForm = files_.ShortPath(Narrow(folder_));
  ASSERT_FALSE(shortForm.empty());
  EXPECT_EQ(shortForm.find(' '), std::string::npos) << shortForm;
  EXPECT_EQ(LongForm(Widen(shortForm)), LongForm(folder_));
}

TEST_F(Win32FilesTest, ShortFormOfAMissingPathIsEmpty) {
  EXPECT_EQ(files_.ShortPath(Narrow(folder_ + L"\\Missing Game.sav")), "");
  EXPECT_EQ(files_.ShortPath(Narrow(folder_ + L" Missing\\x.sav")), "");
}

TEST_F(Win32FilesTest, FileExistsForAnExistingFileOrFolderOnly) {
  EXPECT_TRUE(FileExists(files_, Narrow(file_)));
  EXPECT_TRUE(FileExists(files_, Narrow(folder_)));
  EXPECT_FALSE(FileExists(files_, Narrow(folder_ + L"\\Missing Game.sav")));
  DeleteFileW(file_.c_str());
  EXPECT_FALSE(FileExists(files_, Narrow(file_)));
}

TEST_F(Win32FilesTest, RemoveFileDeletesTheFileOnce) {
  EXPECT_TRUE(files_.RemoveFile(Narrow(file_)));
  EXPECT_FALSE(FileExists(files_, Narrow(file_)));
  EXPECT_FALSE(files_.RemoveFile(Narrow(file_)));
}

}  // namespace
}  // namespace cv3
