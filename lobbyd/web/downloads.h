// The operator's downloads folder (--downloads DIR): what it offers, with sizes and SHA-256 sums
// pilots can check an installer against, and which file a request for a name may be given.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <future>
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
  // The SHA-256 of a file in lower-case hex; empty when it cannot be read or `stop` was set.
  using HashFile =
      std::function<std::string(const std::filesystem::path&, const std::atomic<bool>& stop)>;

  explicit DownloadsFolder(std::filesystem::path folder, HashFile hash = Sha256OfFile);

  // The readable regular files directly in the folder, by name. Hidden files, subfolders and
  // anything whose real path lies outside the folder are not offered.
  std::vector<DownloadFile> List() const;

  // The file to send for a requested (URL-decoded) name: only a name List() gives.
  std::optional<std::filesystem::path> Find(std::string_view name) const;

  // Hashing under way gives up, and none starts again: the web side is stopping.
  void Cancel() { stopping_ = true; }

  static std::string Sha256OfFile(const std::filesystem::path& path, const std::atomic<bool>& stop);

  // What tells one version of a file from another: a rewrite in place changes the change time
  // even when the size and modification time are kept.
  struct Version {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;
    bool operator==(const Version&) const = default;
  };

 private:
  struct Hashed {
    Version version;
    std::shared_future<std::string> sha256;
  };
  // `key` is the file's real path, so two names for one file share a sum.
  std::string Sha256Of(const std::string& key, const std::filesystem::path& file,
                       const Version& version) const;

  std::filesystem::path folder_;
  HashFile hash_;
  std::atomic<bool> stopping_{false};
  // Hashing an installer takes a while: each version of a file is hashed once, and views that
  // come while it is hashed wait for that one sum.
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
