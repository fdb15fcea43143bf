// The registry's rules, checked on any backend: the in-memory one natively, the Win32 one under
// Wine against Wine's real registry. Each binary instantiates RegistryCases with its backend.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/registry.h"

namespace cv3 {

struct RegistryBackendParam {
  std::string name;
  // A fresh backend; the scratch key below it is absent when a test starts.
  std::function<std::unique_ptr<RegistryBackend>()> make;
  // Removes the scratch key tree after a test.
  std::function<void()> cleanup;
  // Defines an environment variable (UTF-8) as the backend sees it.
  std::function<void(RegistryBackend&, const std::string& name, const std::string& value)>
      setVariable;
};

inline std::ostream& operator<<(std::ostream& os, const RegistryBackendParam& p) {
  return os << p.name;
}

class RegistryCases : public ::testing::TestWithParam<RegistryBackendParam> {
 protected:
  // The scratch key: a test's own keys live below it.
  static constexpr const char* kBase = "HKEY_CURRENT_USER\\Software\\CorvaneRegistryTest";

  void SetUp() override {
    if (GetParam().cleanup) GetParam().cleanup();
    backend_ = GetParam().make();
    registry_ = std::make_unique<Registry>(
        *backend_, [this](const MessageBoxSpec& box) { boxes_.push_back(box); }, "Corvane");
  }
  void TearDown() override {
    registry_.reset();
    backend_.reset();
    if (GetParam().cleanup) GetParam().cleanup();
  }
  std::string Key(const std::string& sub = "") const {
    return sub.empty() ? std::string(kBase) : std::string(kBase) + "\\" + sub;
  }

  std::unique_ptr<RegistryBackend> backend_;
  std::unique_ptr<Registry> registry_;
  std::vector<MessageBoxSpec> boxes_;
};

TEST_P(RegistryCases, StringRoundTripsExactly) {
  Registry& r = *registry_;
  r.CreateKey(Key());
  // Western text, and text no single-byte code page holds: Polish, Japanese, a snowman, an emoji.
  for (std::string text : {"x", "", "localhost", "caf\xC3\xA9 \xE2\x82\xAC", "Error!",
                           "C:\\Gry\\\xC5\x81\xC3\xB3"
                           "d\xC5\xBA",  // C:\Gry\Łódź
                           "\xE6\x97\xA5\xE6\x9C\xAC \xE2\x98\x83 \xF0\x9F\x9A\x80"}) {  // 日本 ☃ 🚀
    r.SetString(Key(), "Value", text);
    EXPECT_EQ(r.GetString(Key(), "Value"), text);
  }
  EXPECT_TRUE(boxes_.empty());
}

// 255 characters with the terminating zero, whatever the characters: 255 bytes for Western text.
TEST_P(RegistryCases, StringBufferIs255Characters) {
  Registry& r = *registry_;
  r.CreateKey(Key());
  std::string fits(254, 'a');
  r.SetString(Key(), "Fits", fits);
  EXPECT_EQ(r.GetString(Key(), "Fits"), fits);
  r.SetString(Key(), "TooLong", std::string(255, 'a'));
  EXPECT_EQ(r.GetString(Key(), "TooLong"), "Error");
  // Too long is not missing: the value is there.
  EXPECT_TRUE(r.HasValue(Key(), "TooLong"));
  EXPECT_FALSE(r.HasValue(Key(), "Missing"));
  EXPECT_FALSE(r.HasValue(Key("Missing"), "TooLong"));
  // 254 characters of "é" are 254 bytes in Windows-1252 (508 in UTF-8): they still fit.
  std::string accents;
  for (int i = 0; i < 254; ++i) accents += "\xC3\xA9";
  r.SetString(Key(), "Accents", accents);
  EXPECT_EQ(r.GetString(Key(), "Accents"), accents);
  // 254 Japanese characters fit, 255 do not.
  std::string japanese;
  for (int i = 0; i < 254; ++i) japanese += "\xE6\x97\xA5";
  r.SetString(Key(), "Japanese", japanese);
  EXPECT_EQ(r.GetString(Key(), "Japanese"), japanese);
  r.SetString(Key(), "Japanese", japanese + "\xE6\x97\xA5");
  EXPECT_EQ(r.GetString(Key(), "Japanese"), "Error");
}

// UTF-16LE bytes of ASCII text with its terminating zero, as another program stores a text.
inline std::string Utf16Stored(std::string_view ascii) {
  std::string bytes;
  for (char c : ascii) bytes += {c, '\0'};
  return bytes + std::string(2, '\0');
}

// Values that another program (or the player in regedit) stored with another type read as the
// text they stand for: a DWORD as its decimal number, an expandable text with its variables.
TEST_P(RegistryCases, OtherTypesReadAsTheTextTheyStandFor) {
  Registry& r = *registry_;
  r.CreateKey(Key());
  r.SetDWord(Key(), "CvPort", 13500);
  EXPECT_EQ(r.GetString(Key(), "CvPort"), "13500");
  r.SetDWord(Key(), "All", -1);
  EXPECT_EQ(r.GetString(Key(), "All"), "4294967295");
  GetParam().setVariable(*backend_, "CV3_TEST_HOME", "C:\\Users\\Jos\xC3\xA9");
  const std::string subkey = Key().substr(Key().find('\\') + 1);
  backend_->SetValue(RootKey::kCurrentUser, subkey, "Sounds",
                     {ValueType::kExpandString, Utf16Stored("%CV3_TEST_HOME%\\sounds %CV3_NONE%")});
  EXPECT_EQ(r.GetString(Key(), "Sounds"), "C:\\Users\\Jos\xC3\xA9\\sounds %CV3_NONE%");
  // A name outside the code page is found as it is.
  r.SetString(Key(),
              "\xC5\x81\xC3\xB3"
              "d\xC5\xBA",
              "x");  // Łódź
  EXPECT_TRUE(r.HasValue(Key(),
                         "\xC5\x81\xC3\xB3"
                         "d\xC5\xBA"));
  EXPECT_TRUE(boxes_.empty());
}

TEST_P(RegistryCases, MissingValuesAndKeysReadAsTheMarker) {
  Registry& r = *registry_;
  EXPECT_EQ(r.GetString(Key(), "Nothing"), "Error");
  EXPECT_EQ(r.GetString(Key("Missing"), "Nothing"), "Error");
  r.CreateKey(Key());
  EXPECT_EQ(r.GetString(Key(), "Nothing"), "Error");
  DWordValue missing = r.GetDWord(Key(), "Nothing");
  EXPECT_TRUE(missing.IsMarker());
  EXPECT_FALSE(missing == 0);
  EXPECT_FALSE(missing == 1);
  EXPECT_FALSE(missing.AsNumber().has_value());
  EXPECT_EQ(missing.ToText(), "Error");
  EXPECT_TRUE(boxes_.empty());
}

TEST_P(RegistryCases, DWordRoundTripsAndReadsFourBytesOfAnyType) {
  Registry& r = *registry_;
  r.CreateKey(Key());
  for (int32_t n : {0, 1, -1, 9001, INT32_MIN, INT32_MAX}) {
    r.SetDWord(Key(), "Number", n);
    EXPECT_TRUE(r.GetDWord(Key(), "Number") == n) << n;
  }
  // The stored type is not tested: "1" with its zero is two bytes, read as 0x0031.
  r.SetString(Key(), "Text", "1");
  EXPECT_TRUE(r.GetDWord(Key(), "Text") == 0x31);
  // More than four bytes do not fit.
  r.SetString(Key(), "Long", "12345");
  EXPECT_TRUE(r.GetDWord(Key(), "Long").IsMarker());
}

TEST_P(RegistryCases, WritesGoOnlyIntoExistingKeys) {
  Registry& r = *registry_;
  r.SetString(Key("NotThere"), "Value", "x");
  r.SetDWord(Key("NotThere"), "Number", 1);
  r.CreateKey(Key());
  EXPECT_EQ(r.GetString(Key("NotThere"), "Value"), "Error");
  EXPECT_TRUE(r.GetDWord(Key("NotThere"), "Number").IsMarker());
  EXPECT_TRUE(boxes_.empty());
}

TEST_P(RegistryCases, CreateKeyMakesParentsAndKeepsExistingValues) {
  Registry& r = *registry_;
  r.CreateKey(Key("A\\B\\C"));
  r.SetString(Key("A"), "Top", "t");
  r.SetString(Key("A\\B\\C"), "Deep", "d");
  r.CreateKey(Key("A\\B\\C"));
  EXPECT_EQ(r.GetString(Key("A"), "Top"), "t");
  EXPECT_EQ(r.GetString(Key("A\\B\\C"), "Deep"), "d");
  // Key and value names are not case-sensitive.
  EXPECT_EQ(r.GetString(Key("a\\b\\c"), "DEEP"), "d");
}

TEST_P(RegistryCases, MalformedPathsShowIncorrectFormatAndTouchNothing) {
  Registry& r = *registry_;
  r.CreateKey(Key());
  r.SetString(Key() + "\\", "Value", "x");
  r.CreateKey("Software\\CorvaneRegistryTest\\New");
  EXPECT_EQ(r.GetString(Key() + "\\", "Value"), "Error");
  EXPECT_TRUE(r.GetDWord("HKEY", "Value").IsMarker());
  ASSERT_EQ(boxes_.size(), 4u);
  EXPECT_EQ(boxes_[0], (MessageBoxSpec{"Incorrect Format:\n\n" + Key() + "\\", "Corvane",
                                       BoxIcon::kNone, BoxButtons::kOk}));
  EXPECT_EQ(boxes_[1].text, "Incorrect Format:\n\nSoftware\\CorvaneRegistryTest\\New");
  EXPECT_EQ(boxes_[3].text, "Incorrect Format:\n\nHKEY");
  EXPECT_EQ(r.GetString(Key(), "Value"), "Error");
  EXPECT_EQ(r.GetString(Key("New"), "Value"), "Error");
}

TEST_P(RegistryCases, UnknownRootIsASilentNoOp) {
  Registry& r = *registry_;
  r.SetString("HKEY_NOWHERE\\Software", "Value", "x");
  r.CreateKey("HKEY_current_user\\Software\\CorvaneRegistryTest");
  EXPECT_EQ(r.GetString("HKEY_NOWHERE\\Software", "Value"), "");
  DWordValue empty = r.GetDWord("HKEY_NOWHERE", "Value");
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_FALSE(empty.IsMarker());
  EXPECT_FALSE(empty == 0);
  EXPECT_EQ(empty.ToText(), "");
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(r.GetString(Key(), "Value"), "Error");  // the lower-case root created nothing
}

TEST_P(RegistryCases, RootPathAddressesTheRootKey) {
  Registry& r = *registry_;
  EXPECT_EQ(r.ParseKey("HKEY_CURRENT_USER").status, ParsedKey::Status::kOk);
  EXPECT_EQ(r.ParseKey("HKEY_CURRENT_USER").subkey, "");
  EXPECT_EQ(r.GetString("HKEY_CURRENT_USER", "CorvaneNoSuchValue"), "Error");
  EXPECT_TRUE(boxes_.empty());
}

}  // namespace cv3
