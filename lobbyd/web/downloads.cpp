#include "lobbyd/web/downloads.h"

#include <sodium.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <set>

#include "lobbyd/web/html.h"

namespace lobbyd::web {

namespace fs = std::filesystem;

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File OpenForReading(const fs::path& path) { return File(std::fopen(path.c_str(), "rb"), fclose); }

int64_t Nanoseconds(const timespec& time) {
  return int64_t(time.tv_sec) * 1000000000 + int64_t(time.tv_nsec);
}

std::optional<DownloadsFolder::Version> VersionOf(const fs::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return DownloadsFolder::Version{uint64_t(status.st_dev), uint64_t(status.st_ino),
                                  uint64_t(status.st_size), Nanoseconds(status.st_mtim),
                                  Nanoseconds(status.st_ctim)};
}

// One path component naming something the operator did not hide: a request for "../x", "a\b"
// or ".env" never reaches the file system.
bool OfferableName(std::string_view name) {
  return !name.empty() && name.front() != '.' &&
         name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

// The real path of root/name when that is a regular file inside `root` (a canonical path):
// a symlink may point at another file of the folder, never out of it.
std::optional<fs::path> Admitted(const fs::path& root, std::string_view name) {
  if (!OfferableName(name)) return std::nullopt;
  std::error_code error;
  fs::path real = fs::canonical(root / std::string(name), error);
  if (error || !fs::is_regular_file(real, error)) return std::nullopt;
  fs::path inside = real.lexically_relative(root);
  if (inside.empty() || *inside.begin() == "..") return std::nullopt;
  return real;
}

std::string Grouped(uint64_t number) {
  std::string digits = std::to_string(number);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// "1,234,567 bytes (1.2 MB)": the exact count to compare with, and a figure to read.
std::string SizeText(uint64_t size) {
  std::string text = Grouped(size) + (size == 1 ? " byte" : " bytes");
  if (size < 1000) return text;
  static constexpr const char* kUnits[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
  uint64_t unit = 1000;
  for (size_t i = 0;; ++i, unit *= 1000) {
    uint64_t tenth = unit / 10;
    uint64_t tenths = size / tenth + (size % tenth >= tenth / 2 ? 1 : 0);
    if (tenths < 10000 || i + 1 == std::size(kUnits)) {
      return text + " (" + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " +
             kUnits[i] + ")";
    }
  }
}

}  // namespace

DownloadsFolder::DownloadsFolder(fs::path folder, HashFile hash)
    : folder_(std::move(folder)), hash_(std::move(hash)) {}

// Installers are large: read in chunks, never the whole file at once.
std::string DownloadsFolder::Sha256OfFile(const fs::path& path, const std::atomic<bool>& stop) {
  File file = OpenForReading(path);
  if (!file) return {};
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  std::vector<unsigned char> chunk(64 * 1024);
  size_t got;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0) {
    if (stop) return {};
    crypto_hash_sha256_update(&state, chunk.data(), got);
  }
  if (std::ferror(file.get())) return {};
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256_final(&state, digest);
  char hex[2 * crypto_hash_sha256_BYTES + 1];
  return sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
}

std::vector<DownloadFile> DownloadsFolder::List() const {
  std::vector<DownloadFile> files;
  std::set<std::string> seen;
  std::error_code error;
  fs::path root = fs::canonical(folder_, error);
  if (error) return files;
  for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    std::optional<fs::path> real = Admitted(root, name);
    if (!real) continue;
    std::optional<Version> version = VersionOf(*real);
    if (!version) continue;
    seen.insert(real->string());
    std::string sha256 = Sha256Of(real->string(), *real, *version);
    if (sha256.empty()) continue;
    files.push_back({name, VersionIn(name), version->size, std::move(sha256)});
  }
  std::sort(files.begin(), files.end(),
            [](const DownloadFile& a, const DownloadFile& b) { return a.name < b.name; });
  std::lock_guard lock(mutex_);
  std::erase_if(hashes_, [&](const auto& entry) { return !seen.contains(entry.first); });
  return files;
}

std::string DownloadsFolder::Sha256Of(const std::string& key, const fs::path& file,
                                      const Version& version) const {
  std::promise<std::string> mine;
  std::shared_future<std::string> known;
  {
    std::lock_guard lock(mutex_);
    auto found = hashes_.find(key);
    if (found != hashes_.end() && found->second.version == version) {
      known = found->second.sha256;
    } else {
      hashes_[key] = {version, mine.get_future().share()};
    }
  }
  // Waited for and hashed outside the lock: views of other files go on meanwhile.
  if (known.valid()) return known.get();
  std::string sha256 = hash_(file, stopping_);
  mine.set_value(sha256);
  if (sha256.empty()) {
    // Unreadable now: the next view tries again.
    std::lock_guard lock(mutex_);
    auto found = hashes_.find(key);
    if (found != hashes_.end() && found->second.version == version) hashes_.erase(found);
  }
  return sha256;
}

std::optional<fs::path> DownloadsFolder::Find(std::string_view name) const {
  std::error_code error;
  fs::path root = fs::canonical(folder_, error);
  if (error) return std::nullopt;
  std::optional<fs::path> real = Admitted(root, name);
  if (!real || !OpenForReading(*real)) return std::nullopt;
  return real;
}

std::string VersionIn(std::string_view name) {
  auto digit = [&](size_t at) { return at < name.size() && name[at] >= '0' && name[at] <= '9'; };
  size_t at = 0;
  while (at < name.size()) {
    if (!digit(at)) {
      ++at;
      continue;
    }
    size_t start = at;
    bool dotted = false;
    while (true) {
      while (digit(at)) ++at;
      if (at < name.size() && name[at] == '.' && digit(at + 1)) {
        dotted = true;
        ++at;
      } else {
        break;
      }
    }
    if (dotted) return std::string(name.substr(start, at - start));
  }
  return {};
}

std::string DownloadsPage(const std::vector<DownloadFile>& files) {
  std::string body = "<main>\n<h1>Downloads</h1>\n";
  if (files.empty()) {
    body += "<p>There is nothing to download here yet.</p>\n";
  } else {
    body +=
        "<table>\n<thead>\n<tr><th>File</th><th>Version</th><th>Size</th><th>SHA-256</th></tr>\n"
        "</thead>\n<tbody>\n";
    for (const DownloadFile& file : files) {
      body += "<tr><td><a href=\"downloads/" + PercentEncoded(file.name) + "\">" +
              Escape(file.name) + "</a></td><td>" + Escape(file.version) + "</td><td>" +
              SizeText(file.size) + "</td><td><code>" + Escape(file.sha256) + "</code></td></tr>\n";
    }
    body += "</tbody>\n</table>\n";
  }
  body += "</main>\n";
  return Page("Downloads", body);
}

std::string DownloadsNotSetUpPage() {
  return NoticePage("Downloads", "This lobby offers no downloads.");
}

}  // namespace lobbyd::web
