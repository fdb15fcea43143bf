// The operator's downloads folder (--downloads DIR): what it offers, with sizes and SHA-256 sums
// pilots can check an installer against, and which file a request for a name may be given.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lobbyd::web {

struct DownloadFile {
  std::string name;
  std::string version;  // "3.0.0" from "Corvane3-Setup-3.0.0.exe"; empty when the name has none.
  uint64_t size = 0;
  std::string sha256;  // Lower-case hex.
};

// Thread-safe: the web side's threads share one.
class DownloadsFolder {
 public:
  explicit DownloadsFolder(std::filesystem::path folder);

  // The readable regular files directly in the folder, by name. Hidden files, subfolders and
  // anything whose real path lies outside the folder are not offered.
  std::vector<DownloadFile> List() const;

  // The file to send for a requested (URL-decoded) name: only a name List() gives.
  std::optional<std::filesystem::path> Find(std::string_view name) const;

 private:
  struct Hashed {
    uint64_t size;
    std::filesystem::file_time_type modified;
    std::string sha256;
  };
  // `key` is the file's real path, so two names for one file share a sum.
  std::string Sha256Of(const std::string& key, const std::filesystem::path& file, uint64_t size,
                       std::filesystem::file_time_type modified) const;

  std::filesystem::path folder_;
  // Hashing an installer takes a while; a page view only hashes what changed since the last one.
  mutable std::mutex mutex_;
  mutable std::map<std::string, Hashed> hashes_;
};

// The first run of digits joined by dots ("3.0.0" from "Corvane3-Setup-3.0.0.exe": a lone "3" is
// no version), empty when there is none.
std::string VersionIn(std::string_view name);

// The whole Downloads page for these files.
std::string DownloadsPage(const std::vector<DownloadFile>& files);

// The page when the lobby has no downloads folder.
std::string DownloadsNotSetUpPage();

}  // namespace lobbyd::web
