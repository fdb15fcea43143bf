// lobbyd's read-only web side (--http): the live lobby page, the downloads, the FAQ and forums
// pages the client opens, /metrics and /healthz. It runs on threads of its own and sees the lobby
// only through snapshots the io thread hands over, so a slow or hostile browser never holds up
// a pilot. Requests are bounded in size, in time and in number (see HttpListener).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "lobbyd/address_list.h"
#include "lobbyd/lobby_view.h"
#include "lobbyd/metrics.h"
#include "lobbyd/web/http_listener.h"
#include "lobbyd/web/view_cache.h"

namespace lobbyd {
class Server;
}

namespace lobbyd::web {

class DownloadsFolder;
class WorkerPool;

struct WebOptions {
  std::string host = "127.0.0.1";
  uint16_t port = 0;      // 0 picks a free one (tests)
  std::string downloads;  // folder of files offered for download; empty: none
  std::string faq;        // FAQ file (Markdown or HTML); empty: none
  std::string forums;     // address the forums page sends browsers to; empty: none
  unsigned threads = 8;   // requests served side by side
  // Requests waiting for a thread; past that, a request is answered "busy" at once.
  unsigned waiting = 64;
  ListenerLimits limits;    // connections, and the time to send a request and take a reply
  AddressList metricsFrom;  // who may read /metrics
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

  // Binds and starts serving on its own threads. Empty text on success, else what failed.
  std::string Start();
  uint16_t Port() const { return port_; }
  // Closes every connection without waiting for any client, then joins its threads: a request
  // waiting on the lobby gives up within ioWait, so stop the lobby's io thread first or call
  // this from another thread. Safe to call twice.
  void Stop();

 private:
  Reply Answer(const Request& request, const asio::ip::address& peer);
  Reply Lobby(const Request& request, bool part);
  Reply Modules(const Request& request);
  Reply Download(const Request& request, const std::string& name);
  Reply Metrics(const asio::ip::address& peer);
  Reply Health();
  bool StoreAnswers();

  WebOptions options_;
  WebSources sources_;
  ViewCache views_;
  std::unique_ptr<DownloadsFolder> downloads_;
  asio::io_context io_{1};
  std::unique_ptr<HttpListener> listener_;
  std::unique_ptr<WorkerPool> workers_;
  std::thread ioThread_;
  uint16_t port_ = 0;
};

// Empty when the downloads folder and the FAQ file (when given) are there; else what is wrong.
std::string WebFilesProblem(const WebOptions& options);

// The address as the host part of a URL: IPv6 in brackets.
std::string HostForAddress(const std::string& address);

}  // namespace lobbyd::web
