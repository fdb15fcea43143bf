// lobbyd's read-only web side (--http): the live lobby page, the downloads, the FAQ and forums
// pages the client opens, /metrics and /healthz. It runs on threads of its own and sees the lobby
// only through snapshots the io thread hands over, so a slow or hostile browser never holds up
// a pilot. Requests are bounded in size, in time and in number.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "lobbyd/lobby_view.h"
#include "lobbyd/metrics.h"
#include "lobbyd/web/view_cache.h"

namespace httplib {
class Server;
}

namespace lobbyd {
class Server;
}

namespace lobbyd::web {

class DownloadsFolder;

struct WebOptions {
  std::string host = "127.0.0.1";
  uint16_t port = 0;      // 0 picks a free one (tests)
  std::string downloads;  // folder of files offered for download; empty: none
  std::string faq;        // FAQ file (Markdown or HTML); empty: none
  std::string forums;     // address the forums page sends browsers to; empty: none
  unsigned threads = 8;   // requests served side by side
  // Connections waiting for a thread; past that, the listener answers "busy" itself.
  unsigned waiting = 64;
  // To read a request, to write each part of a reply, and for an idle kept-alive connection.
  std::chrono::seconds timeout{5};
  std::chrono::milliseconds viewMaxAge{1000};
  std::chrono::milliseconds ioWait{2000};  // how long a request waits for the io thread
};

// What the web side reads. The functions are called from its threads and answer on the io
// thread (see Server::TakeView, Server::ProbeStore); `metrics` outlives the web side.
struct WebSources {
  ViewCache::Take takeView;
  std::function<void(std::function<void(bool)>)> probeStore;
  const Metrics* metrics = nullptr;
};

// The sources of a running lobby server; `server` outlives the web side.
WebSources SourcesOf(Server& server);

class WebServer {
 public:
  WebServer(WebOptions options, WebSources sources);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds and starts serving on its own thread. Empty text on success, else what failed.
  std::string Start();
  uint16_t Port() const { return port_; }
  // Stops listening, finishes the requests under way and joins. Safe to call twice.
  void Stop();

 private:
  class Queue;
  void Route();
  bool StoreAnswers();

  WebOptions options_;
  WebSources sources_;
  ViewCache views_;
  std::unique_ptr<DownloadsFolder> downloads_;
  std::unique_ptr<httplib::Server> http_;
  std::thread listener_;
  std::atomic<bool> listenerEnded_{false};
  uint16_t port_ = 0;
};

// Empty when the downloads folder and the FAQ file (when given) are there; else what is wrong.
std::string WebFilesProblem(const WebOptions& options);

// The address as the host part of a URL: IPv6 in brackets.
std::string HostForAddress(const std::string& address);

}  // namespace lobbyd::web
