#include "lobbyd/web/web_server.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <asio/post.hpp>
#include <filesystem>
#include <future>

#include "lobbyd/server.h"
#include "lobbyd/web/downloads.h"
#include "lobbyd/web/faq.h"
#include "lobbyd/web/html.h"
#include "lobbyd/web/lobby_page.h"
#include "lobbyd/web/metrics_text.h"
#include "lobbyd/web/worker_pool.h"
#include "lobbyd_roster_icons.h"

namespace lobbyd::web {
namespace {

Reply NotFound() { return NoticeReply(404, "Not found", "There is no such page on this lobby."); }

Reply Fixed(std::string_view content, const char* type) {
  Reply reply;
  reply.type = type;
  reply.body = std::string(content);
  return reply.Header("Cache-Control", "max-age=3600");
}

}  // namespace

WebServer::WebServer(WebOptions options, WebSources sources)
    : options_(std::move(options)),
      sources_(std::move(sources)),
      views_(sources_.takeView, options_.viewMaxAge, options_.ioWait) {}

WebServer::~WebServer() { Stop(); }

WebSources SourcesOf(Server& server) {
  return {[&server](auto done) { server.TakeView(std::move(done)); },
          [&server](auto done) { server.ProbeStore(std::move(done)); }, &server.Counts()};
}

std::string WebFilesProblem(const WebOptions& options) {
  std::error_code error;
  if (!options.downloads.empty() && !std::filesystem::is_directory(options.downloads, error)) {
    return "--downloads: " + options.downloads + " is not a folder";
  }
  // Read again for each request, so the operator may edit it; but a name mistyped is told now.
  if (!options.faq.empty() && !std::filesystem::is_regular_file(options.faq, error)) {
    return "--faq: " + options.faq + " is not a file";
  }
  return {};
}

std::string WebServer::Start() {
  if (auto problem = WebFilesProblem(options_); !problem.empty()) return problem;
  // Everything the threads read is in place before they start, and never assigned after.
  if (!options_.downloads.empty()) {
    downloads_ = std::make_unique<DownloadsFolder>(options_.downloads);
  }
  workers_ = std::make_unique<WorkerPool>(options_.threads, options_.waiting, "lobbyd-web-work");
  // The io thread only hands complete requests on: whatever may wait runs on a worker, and a
  // request no worker can take soon is told so at once.
  listener_ = std::make_unique<HttpListener>(
      io_, options_.limits,
      [this](const Request& request, const asio::ip::address& peer, HttpListener::Respond respond) {
        auto answer = [this, request, peer, respond] { respond(Answer(request, peer)); };
        if (!workers_->TryPost(answer)) respond(BusyReply());
      });
  asio::error_code error;
  auto address = asio::ip::make_address(options_.host, error);
  if (!error) {
    if (auto problem = listener_->Listen({address, options_.port}); problem.empty()) {
      port_ = listener_->Port();
      ioThread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "lobbyd-web");
        io_.run();
      });
      return {};
    }
  }
  workers_->Stop();
  return "cannot serve the web page on " + options_.host + ":" + std::to_string(options_.port);
}

void WebServer::Stop() {
  if (!ioThread_.joinable()) return;
  asio::post(io_, [this] {
    listener_->Close();
    io_.stop();
  });
  ioThread_.join();
  if (downloads_) downloads_->Cancel();
  workers_->Stop();
}

bool WebServer::StoreAnswers() {
  auto answer = std::make_shared<std::promise<bool>>();
  auto future = answer->get_future();
  sources_.probeStore([answer](bool ok) { answer->set_value(ok); });
  return future.wait_for(options_.ioWait) == std::future_status::ready && future.get();
}

Reply WebServer::Answer(const Request& request, const asio::ip::address& peer) {
  std::string path = PercentDecoded(request.path, false);
  if (path == "/") return Lobby(request, false);
  if (path == "/live") return Lobby(request, true);
  if (path == "/lobby.css") return Fixed(LobbyStyle(), "text/css; charset=utf-8");
  if (path == "/lobby.js") return Fixed(LobbyScript(), "text/javascript; charset=utf-8");
  if (path == "/pictures/roster_icons.gif") {
    return Fixed({reinterpret_cast<const char*>(kRosterIconsGif), sizeof kRosterIconsGif},
                 "image/gif");
  }
  if (path == "/modules.php") return Modules(request);
  constexpr std::string_view kDownloads = "/downloads/";
  if (path.starts_with(kDownloads) && path.size() > kDownloads.size() &&
      path.find('/', kDownloads.size()) == std::string::npos) {
    return Download(request, path.substr(kDownloads.size()));
  }
  if (path == "/metrics") return Metrics(peer);
  if (path == "/healthz") return Health();
  return NotFound();
}

// Generated pages are sent whole whatever Range asks: a page is never sent in parts.
Reply WebServer::Lobby(const Request& request, bool part) {
  auto current = views_.Current();
  if (!current) {
    return NoticeReply(503, "Busy", "The lobby does not answer right now.")
        .Header("Retry-After", "5");
  }
  Reply reply = PageReply(200, part ? current->part : current->page);
  reply.Header("ETag", current->tag).Header("Cache-Control", "no-cache");
  if (part && request.Header("if-none-match") == current->tag) {
    reply.status = 304;
    reply.type.clear();
    reply.body.clear();
  }
  return reply;
}

Reply WebServer::Modules(const Request& request) {
  std::string name = request.Param("name");
  if (name == "Downloads") {
    if (downloads_) return PageReply(200, DownloadsPage(downloads_->List()));
    return PageReply(404, DownloadsNotSetUpPage());
  }
  if (name == "FAQ") {
    if (options_.faq.empty()) return PageReply(404, FaqNotSetUpPage());
    FaqPage faq = ReadFaqPage(options_.faq);
    return PageReply(faq.error.empty() ? 200 : 500, std::move(faq.html));
  }
  if (name == "Forums") {
    if (options_.forums.empty()) return PageReply(404, ForumsNotSetUpPage());
    Reply reply;
    reply.status = 302;
    return reply.Header("Location", options_.forums);
  }
  return NotFound();
}

// Only a name the downloads page lists: the folder decides, never the request's path.
Reply WebServer::Download(const Request& request, const std::string& name) {
  auto path = downloads_ ? downloads_->Find(name) : std::nullopt;
  auto file =
      path ? std::make_shared<OpenFile>(::open(path->c_str(), O_RDONLY | O_CLOEXEC)) : nullptr;
  struct stat status {};
  if (!file || file->Descriptor() < 0 || ::fstat(file->Descriptor(), &status) != 0) {
    return NoticeReply(404, "Not found", "There is no such file here.");
  }
  uint64_t size = uint64_t(status.st_size);
  ByteRange range = RangeOf(request.Header("range"), size);
  if (range.kind == ByteRange::Kind::kUnsatisfiable) {
    return NoticeReply(416, "Not in the file", "The file has no such part.")
        .Header("Content-Range", "bytes */" + std::to_string(size));
  }
  Reply reply;
  reply.type = "application/octet-stream";
  reply.Header("Accept-Ranges", "bytes")
      .Header("Content-Disposition",
              "attachment; filename*=UTF-8''" + PercentEncoded(path->filename().string()));
  reply.file = file;
  reply.length = size;
  if (range.kind == ByteRange::Kind::kPart) {
    reply.status = 206;
    reply.offset = range.first;
    reply.length = range.last - range.first + 1;
    reply.Header("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                      std::to_string(range.last) + "/" + std::to_string(size));
  }
  return reply;
}

Reply WebServer::Metrics(const asio::ip::address& peer) {
  // The counts tell who went invisible rather than offline, which the lobby hides from pilots.
  if (!options_.metricsFrom.Contains(peer)) {
    return NoticeReply(403, "Forbidden", "This lobby's metrics are not public.");
  }
  auto current = views_.Current();
  LobbyView none;
  Reply reply;
  reply.type = "text/plain; version=0.0.4; charset=utf-8";
  reply.body = MetricsText(*sources_.metrics, current ? current->view : none, ResidentBytes());
  return reply;
}

Reply WebServer::Health() {
  bool ok = StoreAnswers();
  Reply reply;
  reply.status = ok ? 200 : 503;
  reply.type = kPlainText;
  reply.body = ok ? "ok\n" : "the store does not answer\n";
  return reply;
}

std::string HostForAddress(const std::string& address) {
  return address.find(':') == std::string::npos ? address : "[" + address + "]";
}

}  // namespace lobbyd::web
