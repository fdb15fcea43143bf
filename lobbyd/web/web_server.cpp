#include "lobbyd/web/web_server.h"

#include <httplib.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <vector>

#include "lobbyd/server.h"
#include "lobbyd/web/downloads.h"
#include "lobbyd/web/faq.h"
#include "lobbyd/web/html.h"
#include "lobbyd/web/lobby_page.h"
#include "lobbyd/web/metrics_text.h"
#include "lobbyd_roster_icons.h"

namespace lobbyd::web {
namespace {

constexpr char kHtml[] = "text/html; charset=utf-8";
constexpr size_t kLongestRequestBody = 1024;  // every page is a GET: nothing to upload
// A thread serves a connection as long as it is kept alive, and a polling browser would keep its
// connection (and so a thread) for good: each connection carries one request.
constexpr size_t kRequestsPerConnection = 1;

void SendPage(httplib::Response& response, int status, const std::string& page) {
  response.status = status;
  response.set_content(page, kHtml);
}

}  // namespace

// A fixed set of threads with a bounded line of connections waiting for them. A connection that
// finds the line full is served on the listener's own thread, which answers "busy" at once
// (see the pre-routing handler); while it does, nothing more is accepted, so a flood waits in
// the kernel's backlog instead of costing descriptors the lobby needs.
class WebServer::Queue final : public httplib::TaskQueue {
 public:
  Queue(unsigned threads, unsigned waiting) : waiting_(waiting) {
    for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
  }
  ~Queue() override { shutdown(); }

  void enqueue(std::function<void()> task) override {
    {
      std::lock_guard lock(mutex_);
      if (tasks_.size() < waiting_) {
        tasks_.push_back(std::move(task));
        wake_.notify_one();
        return;
      }
    }
    task();
  }

  void shutdown() override {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (auto& thread : threads_) {
      if (thread.joinable()) thread.join();
    }
  }

 private:
  void Work() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
        if (tasks_.empty()) return;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
  }

  const size_t waiting_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

WebServer::WebServer(WebOptions options, WebSources sources)
    : options_(std::move(options)),
      sources_(std::move(sources)),
      views_(sources_.takeView, options_.viewMaxAge, options_.ioWait),
      http_(std::make_unique<httplib::Server>()) {}

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
  if (!options_.downloads.empty()) {
    downloads_ = std::make_unique<DownloadsFolder>(options_.downloads);
  }
  http_->new_task_queue = [this] { return new Queue(options_.threads, options_.waiting); };
  auto timeout = options_.timeout.count();
  http_->set_read_timeout(timeout)
      .set_write_timeout(timeout)
      .set_keep_alive_timeout(timeout)
      .set_keep_alive_max_count(kRequestsPerConnection)
      .set_payload_max_length(kLongestRequestBody);
  http_->set_default_headers({
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "no-referrer"},
      {"Content-Security-Policy",
       "default-src 'self'; img-src 'self' data: https:; style-src 'self' 'unsafe-inline'"},
  });
  Route();
  int port = options_.port == 0
                 ? http_->bind_to_any_port(options_.host)
                 : (http_->bind_to_port(options_.host, options_.port) ? int(options_.port) : -1);
  if (port <= 0) {
    return "cannot serve the web page on " + options_.host + ":" + std::to_string(options_.port);
  }
  port_ = uint16_t(port);
  listener_ = std::thread([this] {
    pthread_setname_np(pthread_self(), "lobbyd-web");
    http_->listen_after_bind();
    listenerEnded_ = true;
  });
  // A stop before the listener runs would be missed (the library only stops a running listener),
  // so Start returns once it runs.
  while (!http_->is_running() && !listenerEnded_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return {};
}

void WebServer::Stop() {
  if (!listener_.joinable()) return;
  http_->stop();
  listener_.join();
}

bool WebServer::StoreAnswers() {
  auto answer = std::make_shared<std::promise<bool>>();
  auto future = answer->get_future();
  sources_.probeStore([answer](bool ok) { answer->set_value(ok); });
  return future.wait_for(options_.ioWait) == std::future_status::ready && future.get();
}

void WebServer::Route() {
  // A connection served by the listener itself found every thread busy and the line full.
  http_->set_pre_routing_handler([this](const httplib::Request&, httplib::Response& response) {
    if (std::this_thread::get_id() != listener_.get_id()) {
      return httplib::Server::HandlerResponse::Unhandled;
    }
    response.set_header("Retry-After", "5");
    response.set_header("Connection", "close");
    SendPage(response, 503, NoticePage("Busy", "This lobby's web page is busy; try again soon."));
    return httplib::Server::HandlerResponse::Handled;
  });
  http_->set_error_handler([](const httplib::Request&, httplib::Response& response) {
    // Only for what no route answered; a route's own page stays.
    if (response.status == 404 && response.body.empty()) {
      SendPage(response, 404, NoticePage("Not found", "There is no such page on this lobby."));
    }
  });

  auto lobby = [this](bool part) {
    return [this, part](const httplib::Request& request, httplib::Response& response) {
      auto current = views_.Current();
      if (!current) {
        response.set_header("Retry-After", "5");
        SendPage(response, 503, NoticePage("Busy", "The lobby does not answer right now."));
        return;
      }
      response.set_header("ETag", current->tag);
      response.set_header("Cache-Control", "no-cache");
      if (part && request.get_header_value("If-None-Match") == current->tag) {
        response.status = 304;
        return;
      }
      response.set_content(part ? current->part : current->page, kHtml);
    };
  };
  http_->Get("/", lobby(false));
  http_->Get("/live", lobby(true));

  auto fixed = [](std::string_view content, const char* type) {
    return [content, type](const httplib::Request&, httplib::Response& response) {
      response.set_header("Cache-Control", "max-age=3600");
      response.set_content(content.data(), content.size(), type);
    };
  };
  http_->Get("/lobby.css", fixed(LobbyStyle(), "text/css; charset=utf-8"));
  http_->Get("/lobby.js", fixed(LobbyScript(), "text/javascript; charset=utf-8"));
  http_->Get(
      "/pictures/roster_icons.gif",
      fixed({reinterpret_cast<const char*>(kRosterIconsGif), sizeof kRosterIconsGif}, "image/gif"));

  http_->Get("/modules.php", [this](const httplib::Request& request, httplib::Response& response) {
    std::string name = request.get_param_value("name");
    if (name == "Downloads") {
      if (downloads_) return SendPage(response, 200, DownloadsPage(downloads_->List()));
      return SendPage(response, 404, DownloadsNotSetUpPage());
    }
    if (name == "FAQ") {
      if (options_.faq.empty()) return SendPage(response, 404, FaqNotSetUpPage());
      FaqPage faq = ReadFaqPage(options_.faq);
      return SendPage(response, faq.error.empty() ? 200 : 500, faq.html);
    }
    if (name == "Forums") {
      if (options_.forums.empty()) return SendPage(response, 404, ForumsNotSetUpPage());
      return response.set_redirect(options_.forums);
    }
    SendPage(response, 404, NoticePage("Not found", "There is no such page on this lobby."));
  });
  // Only a name the downloads page lists: the folder decides, never the request's path.
  http_->Get(R"(/downloads/([^/]+))", [this](const httplib::Request& request,
                                             httplib::Response& response) {
    auto path = downloads_ ? downloads_->Find(request.matches[1].str()) : std::nullopt;
    auto file = path ? std::make_shared<std::ifstream>(*path, std::ios::binary) : nullptr;
    std::error_code error;
    uint64_t size = path ? std::filesystem::file_size(*path, error) : 0;
    if (!file || !*file || error) {
      return SendPage(response, 404, NoticePage("Not found", "There is no such file here."));
    }
    response.set_header("Content-Disposition", "attachment; filename*=UTF-8''" +
                                                   PercentEncoded(path->filename().string()));
    response.set_content_provider(size, "application/octet-stream",
                                  [file](size_t offset, size_t length, httplib::DataSink& sink) {
                                    char chunk[64 * 1024];
                                    file->seekg(std::streamoff(offset));
                                    file->read(chunk,
                                               std::streamsize(std::min(length, sizeof chunk)));
                                    if (file->gcount() <= 0) return false;
                                    sink.write(chunk, size_t(file->gcount()));
                                    return true;
                                  });
  });

  http_->Get("/metrics", [this](const httplib::Request&, httplib::Response& response) {
    auto current = views_.Current();
    LobbyView none;
    response.set_content(
        MetricsText(*sources_.metrics, current ? current->view : none, ResidentBytes()),
        "text/plain; version=0.0.4; charset=utf-8");
  });
  http_->Get("/healthz", [this](const httplib::Request&, httplib::Response& response) {
    bool ok = StoreAnswers();
    response.status = ok ? 200 : 503;
    response.set_content(ok ? "ok\n" : "the store does not answer\n", "text/plain; charset=utf-8");
  });
}

std::string HostForAddress(const std::string& address) {
  return address.find(':') == std::string::npos ? address : "[" + address + "]";
}

}  // namespace lobbyd::web
