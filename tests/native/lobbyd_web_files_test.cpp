// The web side's file pages: the downloads folder (what is offered, what a request may get), the
// FAQ in its three forms and the check of the forums address.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "lobbyd/testing/test_server.h"
#include "lobbyd/web/downloads.h"
#include "lobbyd/web/faq.h"
#include "lobbyd/web/html.h"

namespace lobbyd::web {
namespace {

namespace fs = std::filesystem;

constexpr char kAbc[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr char kEmpty[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
constexpr char kOddName[] = "read <&\">.txt";

void Write(const fs::path& path, std::string_view content) {
  std::ofstream(path, std::ios::binary) << content;
}

// A downloads folder with what must be offered and what must not be.
class DownloadsFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(folder_);
    Write(folder_ / "Corvane3-Setup-3.0.0.exe", "abc");
    Write(folder_ / kOddName, "");
    fs::create_symlink("Corvane3-Setup-3.0.0.exe", folder_ / "latest.exe");
    Write(folder_ / ".hidden", "x");
    Write(folder_ / "a\\b", "x");
    fs::create_directory(folder_ / "sub");
    Write(folder_ / "sub" / "inner.txt", "x");
    Write(fs::path(root_.Path()) / "secret.txt", "secret");
    fs::create_symlink("../secret.txt", folder_ / "outside.exe");
  }

  testing::TempFolder root_;
  fs::path folder_ = fs::path(root_.Path()) / "downloads";
};

TEST_F(DownloadsFolderTest, OffersTheFilesInsideWithSizesAndSumsOnAPageOfEscapedText) {
  DownloadsFolder downloads(folder_);
  std::string head =
      "<main>\n<h1>Downloads</h1>\n<table>\n<thead>\n"
      "<tr><th>File</th><th>Version</th><th>Size</th><th>SHA-256</th></tr>\n</thead>\n<tbody>\n";
  EXPECT_EQ(DownloadsPage(downloads.List()),
            Page("Downloads",
                 head +
                     "<tr><td><a href=\"downloads/Corvane3-Setup-3.0.0.exe\">"
                     "Corvane3-Setup-3.0.0.exe</a></td><td>3.0.0</td><td>3 bytes</td><td><code>" +
                     kAbc +
                     "</code></td></tr>\n"
                     "<tr><td><a href=\"downloads/latest.exe\">latest.exe</a></td><td></td>"
                     "<td>3 bytes</td><td><code>" +
                     kAbc +
                     "</code></td></tr>\n"
                     "<tr><td><a href=\"downloads/read%20%3C%26%22%3E.txt\">"
                     "read &lt;&amp;&quot;&gt;.txt</a></td><td></td><td>0 bytes</td><td><code>" +
                     kEmpty + "</code></td></tr>\n</tbody>\n</table>\n</main>\n"));
}

TEST_F(DownloadsFolderTest, GivesAFileOnlyForANameItOffers) {
  DownloadsFolder downloads(folder_);
  fs::path installer = fs::canonical(folder_ / "Corvane3-Setup-3.0.0.exe");
  const struct {
    std::string name;
    std::optional<fs::path> file;
  } kCases[] = {
      {"Corvane3-Setup-3.0.0.exe", installer},
      {"latest.exe", installer},
      {kOddName, fs::canonical(folder_ / kOddName)},
      {"", std::nullopt},
      {".", std::nullopt},
      {"..", std::nullopt},
      {"../secret.txt", std::nullopt},
      {"/etc/passwd", std::nullopt},
      {installer.string(), std::nullopt},
      {"sub", std::nullopt},
      {"sub/inner.txt", std::nullopt},
      {"a\\b", std::nullopt},
      {std::string("Corvane3-Setup-3.0.0.exe\0.txt", 29), std::nullopt},
      {".hidden", std::nullopt},
      {"outside.exe", std::nullopt},
      {"missing.exe", std::nullopt},
  };
  for (const auto& c : kCases) EXPECT_EQ(downloads.Find(c.name), c.file) << c.name;
}

// Writes `content` over the file in place and sets its modification time back to `time`, as
// an upload that keeps the time would. The change time moves with the system's coarse clock: the
// write is repeated until it has.
void RewriteKeepingTime(const fs::path& file, std::string_view content, fs::file_time_type time) {
  auto changed = [&file] {
    struct stat status {};
    ::stat(file.c_str(), &status);
    return std::pair(status.st_ctim.tv_sec, status.st_ctim.tv_nsec);
  };
  auto before = changed();
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  do {
    Write(file, content);
    fs::last_write_time(file, time);
  } while (changed() == before && std::chrono::steady_clock::now() < until);
}

TEST_F(DownloadsFolderTest, HashesAFileAgainWhenItChangedEvenWithItsSizeAndTimeKept) {
  fs::path file = folder_ / "Corvane3-Setup-3.0.0.exe";
  fs::file_time_type then = fs::last_write_time(file);
  const struct {
    std::string content;
    std::chrono::seconds later;
    std::string sha256;
  } kSteps[] = {
      {"abc", std::chrono::seconds(0), kAbc},
      {"xyz", std::chrono::seconds(0),
       "3608bca1e44ea6c4d268eb6db02260269892c0b42b86bbf1e77a6fa16c3c9282"},
      {"abcd", std::chrono::seconds(1),
       "88d4266fd4e6338d13b845fcf289579d209c897823b9217da3e161936f031589"},
  };
  DownloadsFolder downloads(folder_);
  for (const auto& step : kSteps) {
    RewriteKeepingTime(file, step.content, then + step.later);
    std::vector<DownloadFile> files = downloads.List();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].sha256, step.sha256) << step.content;
  }
}

TEST_F(DownloadsFolderTest, ManyFirstViewsAtOnceHashAFileOnce) {
  // The first hash of the installer waits for a second one to start, which never comes while
  // the other views wait for its sum.
  fs::path installer = fs::canonical(folder_ / "Corvane3-Setup-3.0.0.exe");
  std::atomic<int> hashes{0};
  DownloadsFolder downloads(folder_, [&](const fs::path& path, const std::atomic<bool>& stop) {
    if (path == installer && ++hashes == 1) {
      auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
      while (hashes == 1 && std::chrono::steady_clock::now() < until) std::this_thread::yield();
    }
    return DownloadsFolder::Sha256OfFile(path, stop);
  });
  std::vector<std::vector<DownloadFile>> views(8);
  std::vector<std::thread> viewers;
  for (auto& view : views) viewers.emplace_back([&] { view = downloads.List(); });
  for (auto& viewer : viewers) viewer.join();
  EXPECT_EQ(hashes, 1);
  for (const auto& view : views) {
    ASSERT_EQ(view.size(), 3u);
    EXPECT_EQ(view[0].sha256, kAbc);
  }
  downloads.List();
  EXPECT_EQ(hashes, 1);
}

TEST(Downloads, AnEmptyOrMissingFolderOffersNothingYet) {
  testing::TempFolder root;
  std::string page = Page("Downloads",
                          "<main>\n<h1>Downloads</h1>\n"
                          "<p>There is nothing to download here yet.</p>\n</main>\n");
  for (const fs::path& folder : {fs::path(root.Path()), fs::path(root.Path()) / "missing"}) {
    EXPECT_EQ(DownloadsPage(DownloadsFolder(folder).List()), page) << folder;
  }
}

TEST(Downloads, ShowsSizesExactlyAndAsAFigureToRead) {
  const struct {
    uint64_t size;
    std::string text;
  } kCases[] = {
      {1, "1 byte"},
      {999, "999 bytes"},
      {1000, "1,000 bytes (1.0 kB)"},
      {999949, "999,949 bytes (999.9 kB)"},
      {999950, "999,950 bytes (1.0 MB)"},
      {1234567, "1,234,567 bytes (1.2 MB)"},
      {5000000000, "5,000,000,000 bytes (5.0 GB)"},
  };
  for (const auto& c : kCases) {
    EXPECT_NE(DownloadsPage({{"f", "", c.size, kAbc}}).find("<td>" + c.text + "</td>"),
              std::string::npos)
        << c.text;
  }
}

TEST(Downloads, TakesTheVersionFromDigitsJoinedByDots) {
  const struct {
    std::string name, version;
  } kCases[] = {
      {"Corvane3-Setup-3.0.0.exe", "3.0.0"},
      {"Corvane3-3.0.0-portable.zip", "3.0.0"},
      {"patch-3.1.zip", "3.1"},
      {"Corvane3.exe", ""},
      {"readme.txt", ""},
  };
  for (const auto& c : kCases) EXPECT_EQ(VersionIn(c.name), c.version) << c.name;
}

TEST(WebFiles, PagesForWhatIsNotSetUpSaySo) {
  const struct {
    std::string page, title, text;
  } kCases[] = {
      {DownloadsNotSetUpPage(), "Downloads", "This lobby offers no downloads."},
      {FaqNotSetUpPage(), "FAQ", "This lobby has no FAQ."},
      {ForumsNotSetUpPage(), "Forums", "This lobby has no forums."},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.page, NoticePage(c.title, c.text)) << c.title;
}

TEST(Faq, ShowsMarkdownWithoutRawHtmlTheOperatorsHtmlAndOtherFilesAsText) {
  const std::string kFullSize(1024 * 1024, 'a');
  const struct {
    std::string file, content, main;
  } kCases[] = {
      {"faq.md", "# Questions\n\nIs it *free*? [Yes](https://example.org/?a=1&b=2).\n",
       "<h1>Questions</h1>\n"
       "<p>Is it <em>free</em>? <a href=\"https://example.org/?a=1&amp;b=2\">Yes</a>.</p>\n"},
      {"FAQ.MARKDOWN", "<script>alert(1)</script>\n\nHi <b>there</b> [x](javascript:alert(1))\n",
       "<!-- raw HTML omitted -->\n"
       "<p>Hi <!-- raw HTML omitted -->there<!-- raw HTML omitted --> <a href=\"\">x</a></p>\n"},
      {"faq.html",
       "<!DOCTYPE html><html><head><title>Old</title></head><BODY class=\"faq\">\n"
       "<p>Hello</p>\n</body></html>\n",
       "\n<p>Hello</p>\n"},
      {"faq.htm", "<p>Just a part</p>\n", "<p>Just a part</p>\n"},
      {"faq.txt", "1 < 2 & \"so\"\n", "<pre>1 &lt; 2 &amp; &quot;so&quot;\n</pre>\n"},
      {"full.txt", kFullSize, "<pre>" + kFullSize + "</pre>\n"},
  };
  testing::TempFolder folder;
  for (const auto& c : kCases) {
    fs::path file = fs::path(folder.Path()) / c.file;
    Write(file, c.content);
    FaqPage faq = ReadFaqPage(file);
    EXPECT_EQ(faq.html, Page("FAQ", "<main>\n" + c.main + "</main>\n")) << c.file;
    EXPECT_EQ(faq.error, "") << c.file;
  }
}

TEST(Faq, AFileThatCannotBeUsedGivesAPageWithoutItsPathAndAReasonForTheLog) {
  testing::TempFolder folder;
  fs::path tooBig = fs::path(folder.Path()) / "big.md";
  Write(tooBig, std::string(1024 * 1024 + 1, 'a'));
  const struct {
    fs::path file;
    std::string reason;
  } kCases[] = {
      {tooBig, "larger than 1 MiB"},
      {fs::path(folder.Path()) / "missing.md", "No such file or directory"},
      {fs::path(folder.Path()), "not a regular file"},
  };
  for (const auto& c : kCases) {
    FaqPage faq = ReadFaqPage(c.file);
    EXPECT_EQ(faq.html, NoticePage("FAQ", "The FAQ cannot be read right now.")) << c.file;
    EXPECT_EQ(faq.error, "cannot read the FAQ " + c.file.string() + ": " + c.reason);
  }
}

TEST(Forums, TakesOnlyAPlainHttpAddressWithAHost) {
  const std::string kStart = "the address must start with http:// or https://";
  const std::string kNoHost = "the address has no host after its http:// or https://";
  const std::string kControl = "the address must not contain spaces or control characters";
  const struct {
    std::string url, problem;
  } kCases[] = {
      {"https://forums.example.org/", ""},
      {"http://example.org", ""},
      {"HTTPS://Example.org/f?x=1#top", ""},
      {"https://[::1]:8080/forums", ""},
      {"", kStart},
      {"forums.example.org", kStart},
      {"ftp://example.org/", kStart},
      {"javascript:alert(1)", kStart},
      {"https://", kNoHost},
      {"https:///forums", kNoHost},
      {"http://:8080/", kNoHost},
      {"https://[::1/forums", kNoHost},
      {"https://forums example.org/", kControl},
      {"https://example.org/\r\nSet-Cookie: a=b", kControl},
      {"https://example.org/\x7f", kControl},
      {"https://ex\xc3\xa4mple.org/",
       "the address must be plain ASCII (percent-encode anything else)"},
  };
  for (const auto& c : kCases) EXPECT_EQ(ForumsUrlProblem(c.url), c.problem) << c.url;
}

}  // namespace
}  // namespace lobbyd::web
