#include "common/registry_cases.h"
#include "common/registry_memory.h"

namespace cv3 {
namespace {

INSTANTIATE_TEST_SUITE_P(Memory, RegistryCases,
                         ::testing::Values(RegistryBackendParam{
                             "Memory", [] { return std::make_unique<MemoryRegistry>(); }, nullptr,
                             [](RegistryBackend& backend, const std::string& name,
                                const std::string& value) {
                               static_cast<MemoryRegistry&>(backend).SetVariable(name, value);
                             }}),
                         [](const auto& info) { return info.param.name; });

TEST(RegistryNames, RootKeyFromNameIsExact) {
  EXPECT_EQ(RootKeyFromName("HKEY_CURRENT_USER"), RootKey::kCurrentUser);
  EXPECT_EQ(RootKeyFromName("HKEY_LOCAL_MACHINE"), RootKey::kLocalMachine);
  EXPECT_EQ(RootKeyFromName("HKEY_DYN_DATA"), RootKey::kDynData);
  EXPECT_EQ(RootKeyFromName("HKEY_PERFORMANCE_DATA"), RootKey::kPerformanceData);
  EXPECT_FALSE(RootKeyFromName("HKEY_Current_User").has_value());
  EXPECT_FALSE(RootKeyFromName("HKCU").has_value());
}

TEST(MemoryRegistry, DeniedRootWritesNothing) {
  MemoryRegistry backend;
  backend.DenyWrites(RootKey::kLocalMachine);
  std::vector<MessageBoxSpec> boxes;
  Registry r(
      backend, [&](const MessageBoxSpec& b) { boxes.push_back(b); }, "Corvane");
  const char* run = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  r.CreateKey(run);
  r.SetString(run, "CV30", "x");
  EXPECT_EQ(r.GetString(run, "CV30"), "Error");
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace cv3
