// lobbyd's web side: the lobby page as a signed-in pilot would see the lobby, and the server
// itself over HTTP (pages, live part, metrics read back by Prometheus's own parser, health,
// refusals).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "lobbyd/testing/lobby_rig.h"
#include "lobbyd/testing/test_server.h"
#include "lobbyd/web/lobby_page.h"
#include "lobbyd/web/web_server.h"

namespace lobbyd::testing {
namespace {

using Lines = std::vector<std::string>;

std::string HostLine(const std::string& name, const std::string& address, bool longTerm) {
  return "HOSTGAME:" + name + ":" + address +
         ":1.06:Named:1:0:1:0:0:1:0:" + (longTerm ? "1" : "0") + ":0:1:all in";
}

// A reply as it came off the socket.
struct RawReply {
  int status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
};

// A connection from a chosen loopback address that sends exactly what a test says (a byte at a
// time, a flood of headers) and reads the reply raw, each wait with a deadline.
class Raw {
 public:
  explicit Raw(uint16_t port, const char* from = "127.0.0.1") {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in source{}, target{};
    source.sin_family = target.sin_family = AF_INET;
    inet_pton(AF_INET, from, &source.sin_addr);
    inet_pton(AF_INET, "127.0.0.1", &target.sin_addr);
    target.sin_port = htons(port);
    connected_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&source), sizeof source) == 0 &&
                 ::connect(fd_, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
  }
  ~Raw() { ::close(fd_); }
  bool Connected() const { return connected_; }
  bool Send(std::string_view bytes) {
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
  }
  // Everything until the server closes; nothing if it has not closed by the deadline.
  std::optional<std::string> ReadToEnd(std::chrono::milliseconds within = std::chrono::seconds(5)) {
    auto until = std::chrono::steady_clock::now() + within;
    std::string got;
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          until - std::chrono::steady_clock::now());
      pollfd ready{fd_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&ready, 1, int(left.count())) <= 0) return std::nullopt;
      char chunk[65536];
      ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) return got;
      got.append(chunk, size_t(n));
    }
  }
  // True when the server has closed the connection (without waiting).
  bool Closed() {
    pollfd ready{fd_, POLLIN, 0};
    if (::poll(&ready, 1, 0) <= 0) return false;
    char chunk[4096];
    return ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT) <= 0;
  }

 private:
  int fd_;
  bool connected_ = false;
};

// Sends a whole request and reads the whole reply; status 0 when none came.
RawReply Exchange(uint16_t port, std::string_view request, const char* from = "127.0.0.1") {
  Raw connection(port, from);
  RawReply reply;
  if (!connection.Send(request)) return reply;
  std::string text = connection.ReadToEnd().value_or("");
  size_t end = text.find("\r\n\r\n");
  if (!text.starts_with("HTTP/1.1 ") || end == std::string::npos) return reply;
  reply.status = std::stoi(text.substr(9, 3));
  for (size_t at = text.find("\r\n") + 2; at < end;) {
    size_t next = text.find("\r\n", at);
    std::string line = text.substr(at, next - at);
    std::string name = line.substr(0, line.find(':'));
    for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
    reply.headers[name] = line.substr(line.find(':') + 2);
    at = next + 2;
  }
  reply.body = text.substr(end + 4);
  return reply;
}

std::string Get(const std::string& target, const std::string& headers = {}) {
  return "GET " + target + " HTTP/1.1\r\nHost: lobby\r\n" + headers + "\r\n";
}

TEST(LobbyPage, ShowsOnlyWhatASignedInPilotSeesEscaped) {
  LobbyRig lobby;
  ASSERT_EQ(lobby.Seed({{{"boss", "pw"}}, {"boss"}, {}, {}}), "");
  ASSERT_EQ(lobby.Start(), "");
  auto boss = lobby.SignIn("boss");
  auto alice = lobby.Join("alice");
  auto bob = lobby.Join("bob");
  auto carol = lobby.Join("carol");
  auto dan = lobby.Join("dan");
  ASSERT_TRUE(boss && alice && bob && carol && dan);
  boss->Send("ADMINMODE:");
  bob->Send("AWAY:<b>brb</b> & \"back\"");
  carol->Send("INVISIBLE:");
  carol->Send(HostLine("Hidden Base", "203.0.113.11", false));
  alice->Send(HostLine("<Furball> & co", "203.0.113.9", false));
  dan->Send(HostLine("Moonbase", "203.0.113.10", true));
  dan->Send("QUIT:");  // his long-term game stays listed, down
  ASSERT_TRUE(dan->WaitClosed());
  // Back, invisible: his game down names him as it did while he was away.
  auto danAgain = lobby.SignIn("dan");
  ASSERT_TRUE(danAgain);
  danAgain->Send("INVISIBLE:");

  EXPECT_EQ(
      web::LobbyPart(lobby.GetLobby().View(), "\"t1\""),
      "<div id=\"lobby\" data-title=\"Corvane lobby: 3 online\" data-tag=\"&quot;t1&quot;\">\n"
      "<p class=\"summary\">Pilots online: 3. Games listed: 3 (2 up).</p>\n"
      "<section aria-labelledby=\"games\">\n"
      "<h2 id=\"games\"><span class=\"pic p1\" aria-hidden=\"true\"></span>Skyrend Games</h2>\n"
      "<ul>\n"
      "<li><span class=\"pic p1\" role=\"img\" aria-label=\"up\"></span><span class=\"name\">"
      "&lt;Furball&gt; &amp; co</span> <span class=\"state\">up</span> <span class=\"host\">"
      "hosted by alice</span> <span class=\"players\">players: alice</span></li>\n"
      // An invisible host is not named: the pilots' rosters show the game, not who runs it.
      "<li><span class=\"pic p1\" role=\"img\" aria-label=\"up\"></span><span class=\"name\">"
      "Hidden Base</span> <span class=\"state\">up</span></li>\n"
      "<li><span class=\"pic p6\" role=\"img\" aria-label=\"down\"></span><span class=\"name\">"
      "Moonbase</span> <span class=\"state\">down</span> <span class=\"host\">hosted by dan"
      "</span> <span class=\"players\">players: dan</span></li>\n"
      "</ul>\n</section>\n"
      "<section aria-labelledby=\"online\">\n"
      "<h2 id=\"online\"><span class=\"pic p2\" aria-hidden=\"true\"></span>Online Pilots</h2>\n"
      "<ul>\n"
      "<li><span class=\"pic p2\" role=\"img\" aria-label=\"online\"></span>alice</li>\n"
      "<li><span class=\"pic p8\" role=\"img\" aria-label=\"administrator\"></span>boss</li>\n"
      "</ul>\n</section>\n"
      "<section aria-labelledby=\"busy\">\n"
      "<h2 id=\"busy\"><span class=\"pic p4\" aria-hidden=\"true\"></span>Busy Pilots</h2>\n"
      "<ul>\n"
      "<li><span class=\"pic p4\" role=\"img\" aria-label=\"away\"></span>bob "
      "(&lt;b&gt;brb&lt;/b&gt; &amp; &quot;back&quot;)</li>\n"
      "</ul>\n</section>\n</div>\n");
}

TEST(LobbyPage, AnEmptyLobbySaysSoInEachGroup) {
  std::string part = web::LobbyPart({}, "x");
  for (const char* none : {"No games are listed.", "Nobody is online.", "Nobody is busy.",
                           "data-title=\"Corvane lobby: 0 online\""}) {
    EXPECT_NE(part.find(none), std::string::npos) << none;
  }
}

// A lobbyd in-process with its web side on a free port; each request takes the lobby afresh.
class Web : public ::testing::Test {
 protected:
  void SetUp() override {
    LobbyOptions options;
    options.connectionsPerAddress = 3;
    server_ = std::make_unique<TestServer>(std::string(), options);
    ASSERT_EQ(server_->Start(), "");
    web::WebOptions web;
    web.viewMaxAge = std::chrono::milliseconds(0);
    web.forums = "https://forums.example.org/lobby";
    StartWeb(web);
  }
  void TearDown() override {
    if (web_) web_->Stop();
    server_->Stop();
  }
  void StartWeb(web::WebOptions options) {
    if (web_) web_->Stop();
    web_ = std::make_unique<web::WebServer>(options, web::SourcesOf(server_->GetServer()));
    ASSERT_EQ(web_->Start(), "");
    http_ = std::make_unique<httplib::Client>("127.0.0.1", web_->Port());
  }
  // The metrics as Prometheus's parser reads them, one "type name{labels} value" a line.
  Lines Metrics() {
    auto reply = http_->Get("/metrics");
    EXPECT_TRUE(reply && reply->status == 200);
    std::string file = ::testing::TempDir() + "/metrics.txt";
    std::ofstream(file) << (reply ? reply->body : "");
    std::string command = std::string("/usr/bin/python3 " METRICS_PARSER " < ") + file;
    FILE* parser = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, parser)) out.append(buffer, n);
    EXPECT_EQ(pclose(parser), 0) << reply->body;
    Lines lines;
    for (size_t start = 0; start < out.size();) {
      size_t end = out.find('\n', start);
      if (end == std::string::npos) end = out.size();
      lines.push_back(out.substr(start, end - start));
      start = end + 1;
    }
    return lines;
  }
  static bool Has(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  std::unique_ptr<TestServer> server_;
  std::unique_ptr<web::WebServer> web_;
  std::unique_ptr<httplib::Client> http_;
};

TEST_F(Web, ThePageShowsPilotsAndTheLivePartChangesOnlyWhenTheLobbyDoes) {
  auto ann = server_->Join("ann");
  ASSERT_TRUE(ann);
  auto page = http_->Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(page->body.find("<title>Corvane lobby: 1 online</title>"), std::string::npos);
  EXPECT_NE(page->body.find("</span>ann</li>"), std::string::npos);
  std::string tag = page->get_header_value("ETag");

  auto same = http_->Get("/live", {{"If-None-Match", tag}});
  ASSERT_TRUE(same);
  EXPECT_EQ(same->status, 304);
  auto bob = server_->Join("bob");
  ASSERT_TRUE(bob);
  auto changed = http_->Get("/live", {{"If-None-Match", tag}});
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->status, 200);
  EXPECT_NE(changed->get_header_value("ETag"), tag);
  EXPECT_EQ(changed->body.rfind("<div id=\"lobby\" data-title=\"Corvane lobby: 2 online\"", 0), 0u);
  EXPECT_NE(changed->body.find("</span>bob</li>"), std::string::npos);
}

TEST_F(Web, FixedPagesAndWhatIsNotSetUp) {
  struct Case {
    const char* path;
    int status;
    const char* type;
    const char* has;  // in the body, or in Location for a redirect
  } cases[] = {
      {"/lobby.css", 200, "text/css; charset=utf-8", ".pic {"},
      {"/lobby.js", 200, "text/javascript; charset=utf-8", "fetch('live'"},
      {"/pictures/roster_icons.gif", 200, "image/gif", "GIF89a"},
      {"/modules.php?name=Forums", 302, "", "https://forums.example.org/lobby"},
      {"/modules.php?name=FAQ", 404, "text/html; charset=utf-8", "<p>This lobby has no FAQ.</p>"},
      {"/modules.php?name=Downloads", 404, "text/html; charset=utf-8",
       "<p>This lobby offers no downloads.</p>"},
      {"/modules.php?name=News", 404, "text/html; charset=utf-8",
       "<p>There is no such page on this lobby.</p>"},
      {"/downloads/lobbyd.db", 404, "text/html; charset=utf-8",
       "<p>There is no such file here.</p>"},
      {"/etc/passwd", 404, "text/html; charset=utf-8",
       "<p>There is no such page on this lobby.</p>"},
      {"/healthz", 200, "text/plain; charset=utf-8", "ok\n"},
  };
  for (const Case& c : cases) {
    auto reply = http_->Get(c.path);
    ASSERT_TRUE(reply) << c.path;
    EXPECT_EQ(reply->status, c.status) << c.path;
    if (c.status == 302) {
      EXPECT_EQ(reply->get_header_value("Location"), c.has);
      continue;
    }
    EXPECT_EQ(reply->get_header_value("Content-Type"), c.type) << c.path;
    EXPECT_NE(reply->body.find(c.has), std::string::npos) << c.path << "\n" << reply->body;
    EXPECT_EQ(reply->get_header_value("X-Content-Type-Options"), "nosniff") << c.path;
  }
}

TEST_F(Web, DownloadsAndTheFaqComeFromWhatTheOperatorNamedOnly) {
  TempFolder folder;
  std::filesystem::create_directory(folder.Path() + "/files");
  std::ofstream(folder.Path() + "/files/Corvane3-Setup-3.0.0.exe") << "installer";
  std::ofstream(folder.Path() + "/secret.txt") << "not for the web";
  std::ofstream(folder.Path() + "/faq.md") << "# Questions\n\nAsk *anyone*.\n";
  web::WebOptions options;
  options.downloads = folder.Path() + "/files";
  options.faq = folder.Path() + "/faq.md";
  StartWeb(options);

  auto file = http_->Get("/downloads/Corvane3-Setup-3.0.0.exe");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->status, 200);
  EXPECT_EQ(file->body, "installer");
  EXPECT_EQ(file->get_header_value("Content-Disposition"),
            "attachment; filename*=UTF-8''Corvane3-Setup-3.0.0.exe");
  for (const char* outside : {"/downloads/..%2Fsecret.txt", "/downloads/%2E%2E%2Fsecret.txt",
                              "/downloads/../secret.txt", "/downloads/files"}) {
    auto refused = http_->Get(outside);
    ASSERT_TRUE(refused) << outside;
    EXPECT_EQ(refused->status, 404) << outside;
    EXPECT_EQ(refused->body.find("not for the web"), std::string::npos) << outside;
  }
  auto page = http_->Get("/modules.php?name=Downloads");
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("<td>3.0.0</td><td>9 bytes</td>"), std::string::npos) << page->body;
  auto faq = http_->Get("/modules.php?name=FAQ");
  ASSERT_TRUE(faq);
  EXPECT_NE(faq->body.find("<h1>Questions</h1>\n<p>Ask <em>anyone</em>.</p>"), std::string::npos)
      << faq->body;
}

TEST_F(Web, MetricsParseAndMoveAsPilotsSignInAndAreRefused) {
  Lines before = Metrics();
  for (const char* line : {"counter lobbyd_sign_ins_total{result=\"ok\"} 0",
                           "counter lobbyd_refusals_total{reason=\"address_cap\"} 0",
                           "gauge lobbyd_pilots_signed_in{visibility=\"visible\"} 0",
                           "histogram lobbyd_password_check_wait_seconds_count{} 0"}) {
    EXPECT_TRUE(Has(before, line)) << line;
  }
  auto ann = server_->Join("ann");
  auto bob = server_->Join("bob");
  ASSERT_TRUE(ann && bob);
  bob->Send("INVISIBLE:");
  ASSERT_EQ(bob->ReadLine(), "INVISIBLE_ACK");
  auto wrong = server_->Connect();
  wrong->Send(AuthRequest("ann", "not it"));
  ASSERT_EQ(wrong->ReadLine(), "AUTH_ACK:FAILED");
  auto over = server_->Connect();  // a fourth connection from 127.0.0.1
  ASSERT_TRUE(over->WaitClosed());
  ann->Send("LMSG:hello");
  ASSERT_TRUE(ann->ReadLine());

  Lines after = Metrics();
  for (const char* line : {"counter lobbyd_sign_ins_total{result=\"ok\"} 2",
                           "counter lobbyd_sign_ins_total{result=\"failed\"} 1",
                           "counter lobbyd_refusals_total{reason=\"address_cap\"} 1",
                           "gauge lobbyd_pilots_signed_in{visibility=\"visible\"} 1",
                           "gauge lobbyd_pilots_signed_in{visibility=\"invisible\"} 1",
                           "gauge lobbyd_connections_open{} 3",
                           "histogram lobbyd_password_check_wait_seconds_count{} 1"}) {
    EXPECT_TRUE(Has(after, line)) << line;
  }
  auto value = [](const Lines& lines, const std::string& name) {
    for (const auto& line : lines) {
      if (line.rfind(name + " ", 0) == 0) return std::stod(line.substr(name.size() + 1));
    }
    return -1.0;
  };
  for (const char* grows :
       {"counter lobbyd_lines_written_total{}", "counter lobbyd_bytes_written_total{}",
        "histogram lobbyd_store_commit_seconds_count{}"}) {
    EXPECT_GT(value(after, grows), value(before, grows)) << grows;
  }
  EXPECT_GT(value(after, "gauge process_resident_memory_bytes{}"), 1 << 20);
}

TEST(WebServer, AnIoThreadOrStoreThatDoesNotAnswerAndAFullLineAreRefusedPlainly) {
  lobbyd::Metrics metrics;
  web::WebOptions options;
  options.ioWait = std::chrono::milliseconds(50);
  web::WebServer silent(options, {[](auto) {}, [](auto done) { done(false); }, &metrics});
  ASSERT_EQ(silent.Start(), "");
  httplib::Client http("127.0.0.1", silent.Port());
  auto page = http.Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 503);
  EXPECT_NE(page->body.find("<p>The lobby does not answer right now.</p>"), std::string::npos);
  auto health = http.Get("/healthz");
  ASSERT_TRUE(health);
  EXPECT_EQ(health->status, 503);
  EXPECT_EQ(health->body, "the store does not answer\n");

  // No request may wait for a thread: each is answered "busy" at once.
  options.waiting = 0;
  web::WebServer full(options, {[](auto) {}, [](auto done) { done(true); }, &metrics});
  ASSERT_EQ(full.Start(), "");
  auto busy = httplib::Client("127.0.0.1", full.Port()).Get("/healthz");
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->status, 503);
  EXPECT_EQ(busy->get_header_value("Retry-After"), "5");
  EXPECT_NE(busy->body.find("<p>This lobby&#39;s web page is busy; try again soon.</p>"),
            std::string::npos);
}

TEST(WebServer, BrowsersThatKeepTheirConnectionsOpenDoNotHoldEveryThread) {
  lobbyd::Metrics metrics;
  web::WebOptions options;
  web::WebServer server(options, {[](auto) {}, [](auto done) { done(true); }, &metrics});
  ASSERT_EQ(server.Start(), "");
  // Twice as many browsers as threads, each keeping its connection (as polling pages do); every
  // one is answered at once, never after another's idle connection times out.
  std::vector<std::unique_ptr<httplib::Client>> browsers;
  for (unsigned i = 0; i < 2 * options.threads; ++i) {
    browsers.push_back(std::make_unique<httplib::Client>("127.0.0.1", server.Port()));
    browsers.back()->set_keep_alive(true);
    browsers.back()->set_read_timeout(2, 0);
    auto reply = browsers.back()->Get("/healthz");
    ASSERT_TRUE(reply) << "browser " << i;
    EXPECT_EQ(reply->get_header_value("Connection"), "close");
  }
}

TEST_F(Web, RangesAndOversizedRequestsNeverMakeAReplyLargerThanWhatItNames) {
  TempFolder folder;
  std::filesystem::create_directory(folder.Path() + "/files");
  std::ofstream(folder.Path() + "/files/game.exe") << "0123456789";
  std::ofstream(folder.Path() + "/faq.md") << "# Questions\n\nAsk *anyone*.\n";
  web::WebOptions options;
  options.viewMaxAge = std::chrono::milliseconds(0);
  options.downloads = folder.Path() + "/files";
  options.faq = folder.Path() + "/faq.md";
  StartWeb(options);
  const uint16_t port = web_->Port();
  const std::string faq = Exchange(port, Get("/modules.php?name=FAQ")).body;
  const std::string page = Exchange(port, Get("/")).body;
  ASSERT_NE(faq.find("<h1>Questions</h1>"), std::string::npos);
  ASSERT_NE(page.find("<h1>Corvane lobby</h1>"), std::string::npos);

  std::string manyRanges = "Range: bytes=0-";
  for (int i = 0; i < 1000; ++i) manyRanges += ",0-";
  manyRanges += "\r\n";
  std::string flood;
  for (int i = 0; i <= 100; ++i) flood += "X-Filler-" + std::to_string(i) + ": a\r\n";
  auto ranged = [](const char* range) {
    return Get("/downloads/game.exe", std::string("Range: ") + range + "\r\n");
  };
  const struct {
    const char* what;
    std::string request;
    int status;
    const char* header;  // "name: value", name in lower case; none when empty
    std::string body;    // the whole body, or for a notice its text
  } kCases[] = {
      {"many ranges of the FAQ", Get("/modules.php?name=FAQ", manyRanges), 200, "", faq},
      {"many ranges of the page", Get("/", manyRanges), 200, "", page},
      {"one range of a download", ranged("bytes=2-4"), 206, "content-range: bytes 2-4/10", "234"},
      {"the last bytes", ranged("bytes=-3"), 206, "content-range: bytes 7-9/10", "789"},
      {"from a byte on", ranged("bytes=7-"), 206, "content-range: bytes 7-9/10", "789"},
      {"several ranges of a download", ranged("bytes=0-1,4-5"), 200, "content-length: 10",
       "0123456789"},
      {"a range past the end", ranged("bytes=10-"), 416, "content-range: bytes */10",
       "<p>The file has no such part.</p>"},
      {"a flood of header lines", Get("/", flood), 431, "connection: close",
       "<p>The request&#39;s headers are too large.</p>"},
      {"one header line too large", Get("/", "X-Big: " + std::string(17000, 'a') + "\r\n"), 431,
       "connection: close", "<p>The request&#39;s headers are too large.</p>"},
      {"a long request line", Get("/" + std::string(9000, 'a')), 414, "connection: close",
       "<p>The address asked for is too long.</p>"},
      {"a request to change something", "POST / HTTP/1.1\r\nHost: lobby\r\n\r\n", 405,
       "allow: GET, HEAD", "<p>This lobby&#39;s web pages can only be read.</p>"},
      {"a request with a body", Get("/", "Content-Length: 5\r\n") + "hello", 413, "",
       "<p>This lobby&#39;s web pages take nothing sent to them.</p>"},
  };
  for (const auto& c : kCases) {
    // The reply ends with the connection's close: a request is never left hanging.
    RawReply reply = Exchange(port, c.request);
    EXPECT_EQ(reply.status, c.status) << c.what;
    if (*c.header) {
      std::string header = c.header;
      size_t colon = header.find(": ");
      EXPECT_EQ(reply.headers[header.substr(0, colon)], header.substr(colon + 2)) << c.what;
    }
    if (c.status < 400) {
      EXPECT_EQ(reply.body, c.body) << c.what;
    } else {
      EXPECT_NE(reply.body.find(c.body), std::string::npos) << c.what << "\n" << reply.body;
    }
  }
}

TEST(WebServer, SlowClientsFromOneAddressAreCappedAndCutOffWhileOthersAreServed) {
  lobbyd::Metrics metrics;
  web::WebOptions options;
  // The store answers /healthz at once, or (while held) not until the test lets it.
  std::mutex mutex;
  bool hold = false;
  std::vector<std::function<void(bool)>> held;
  auto probe = [&](std::function<void(bool)> done) {
    std::lock_guard lock(mutex);
    if (!hold) return done(true);
    held.push_back(std::move(done));
  };
  web::WebServer server(options, {[](auto) {}, probe, &metrics});
  ASSERT_EQ(server.Start(), "");
  const unsigned cap = options.limits.connectionsPerAddress;
  std::vector<std::unique_ptr<Raw>> tricklers;
  for (unsigned i = 0; i < cap; ++i) {
    tricklers.push_back(std::make_unique<Raw>(server.Port()));
    ASSERT_TRUE(tricklers.back()->Connected());
    ASSERT_TRUE(tricklers.back()->Send("G"));
  }
  // The address is at its cap: its next request costs it its oldest trickler, and is answered.
  RawReply health = Exchange(server.Port(), Get("/healthz"));
  EXPECT_EQ(health.status, 200);
  EXPECT_EQ(health.body, "ok\n");
  EXPECT_TRUE(tricklers.front()->ReadToEnd(options.limits.head / 2).has_value())
      << "the oldest trickler is closed at once, well before its deadline";

  // A byte at a time keeps no one's connection past the deadline for the whole request.
  auto until = std::chrono::steady_clock::now() + 4 * options.limits.head;
  size_t closed = 0;
  while (closed < tricklers.size() && std::chrono::steady_clock::now() < until) {
    closed = 0;
    for (auto& trickler : tricklers) {
      if (trickler->Closed()) {
        ++closed;
      } else {
        trickler->Send("a");
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the clients' own pace
  }
  EXPECT_EQ(closed, tricklers.size());

  // Requests being answered are never dropped for a newcomer: past the cap it is told "busy" at
  // once, without a word of its request read.
  {
    std::lock_guard lock(mutex);
    hold = true;
  }
  std::vector<std::unique_ptr<Raw>> waiting;
  for (unsigned i = 0; i < cap; ++i) {
    waiting.push_back(std::make_unique<Raw>(server.Port(), "127.0.0.2"));
    ASSERT_TRUE(waiting.back()->Send(Get("/healthz")));
  }
  for (auto wait = std::chrono::steady_clock::now() + options.ioWait;;) {
    {
      std::lock_guard lock(mutex);
      if (held.size() == cap || std::chrono::steady_clock::now() > wait) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Raw over(server.Port(), "127.0.0.2");
  auto busy = over.ReadToEnd();
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->rfind("HTTP/1.1 503 Service Unavailable\r\n", 0), 0u) << *busy;
  EXPECT_NE(busy->find("\r\nRetry-After: 5\r\n"), std::string::npos) << *busy;
  EXPECT_NE(busy->find("<p>This lobby&#39;s web page is busy; try again soon.</p>"),
            std::string::npos);
  std::lock_guard lock(mutex);
  for (auto& done : held) done(true);
}

}  // namespace
}  // namespace lobbyd::testing
