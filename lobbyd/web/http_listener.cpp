#include "lobbyd/web/http_listener.h"

#include <unistd.h>

#include <array>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>
#include <vector>

#include "lobbyd/session.h"

namespace lobbyd::web {
namespace {

constexpr size_t kFileChunk = 64 * 1024;
// After the reply, what the client still sends is read and dropped for a moment, so closing
// does not reset the connection before the client has read the reply.
constexpr std::chrono::milliseconds kLinger{2000};

}  // namespace

class HttpListener::Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(HttpListener& listener, asio::ip::tcp::socket socket, asio::ip::address peer,
             std::string key, uint64_t order)
      : listener_(listener),
        socket_(std::move(socket)),
        deadline_(listener.io_),
        peer_(std::move(peer)),
        key_(std::move(key)),
        order_(order) {}

  const std::string& Key() const { return key_; }
  uint64_t Order() const { return order_; }
  bool Sending() const { return !closed_ && !answering_; }

  void Start() {
    Arm(listener_.limits_.head);
    ReadHead();
  }

  void Close() {
    if (closed_) return;
    closed_ = true;
    deadline_.cancel();
    asio::error_code ignored;
    socket_.close(ignored);
    listener_.Forget(*this);
  }

  void Send(Reply reply) {
    if (closed_) return;
    answering_ = true;
    reply_ = std::move(reply);
    head_ = ReplyHead(reply_);
    bool body = !headOnly_;
    if (!body) reply_.body.clear();
    std::array<asio::const_buffer, 2> parts{asio::buffer(head_), asio::buffer(reply_.body)};
    Arm(reply_.file ? listener_.limits_.chunk : listener_.limits_.reply);
    asio::async_write(socket_, parts,
                      [self = shared_from_this(), body](const asio::error_code& error, size_t) {
                        if (self->closed_) return;
                        if (error) return self->Close();
                        if (body && self->reply_.file && self->reply_.length > 0) {
                          return self->SendChunk();
                        }
                        self->Linger();
                      });
  }

 private:
  // A deadline for what comes next; a connection that misses it is closed.
  void Arm(std::chrono::milliseconds within) {
    deadline_.expires_after(within);
    deadline_.async_wait([self = shared_from_this()](const asio::error_code& error) {
      if (!error) self->Close();
    });
  }

  void ReadHead() {
    socket_.async_read_some(asio::buffer(buffer_),
                            [self = shared_from_this()](const asio::error_code& error, size_t n) {
                              if (self->closed_) return;
                              if (error) return self->Close();
                              switch (self->reader_.Take({self->buffer_.data(), n})) {
                                case RequestHeadReader::State::kNeedMore:
                                  return self->ReadHead();
                                case RequestHeadReader::State::kRefused:
                                  return self->Send(RefusedReply(self->reader_.RefusedStatus()));
                                case RequestHeadReader::State::kComplete:
                                  return self->Dispatch();
                              }
                            });
  }

  void Dispatch() {
    // Whoever answers takes its own time; the reply gets a deadline of its own.
    deadline_.cancel();
    answering_ = true;
    headOnly_ = reader_.Got().IsHead();
    asio::io_context& io = listener_.io_;
    listener_.handler_(reader_.Got(), peer_, [self = shared_from_this(), &io](Reply reply) {
      asio::post(io, [self, reply = std::move(reply)]() mutable { self->Send(std::move(reply)); });
    });
  }

  // The next chunk of the file, read when the client has taken the last one.
  void SendChunk() {
    uint64_t left = reply_.length - sent_;
    chunk_.resize(std::min<uint64_t>(left, kFileChunk));
    ssize_t got = ::pread(reply_.file->Descriptor(), chunk_.data(), chunk_.size(),
                          off_t(reply_.offset + sent_));
    // A file cut short meanwhile ends the reply short: the client sees it incomplete.
    if (got <= 0) return Close();
    Arm(listener_.limits_.chunk);
    asio::async_write(socket_, asio::buffer(chunk_.data(), size_t(got)),
                      [self = shared_from_this()](const asio::error_code& error, size_t n) {
                        if (self->closed_) return;
                        if (error) return self->Close();
                        self->sent_ += n;
                        if (self->sent_ < self->reply_.length) return self->SendChunk();
                        self->Linger();
                      });
  }

  void Linger() {
    asio::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    Arm(kLinger);
    Discard();
  }

  void Discard() {
    socket_.async_read_some(asio::buffer(buffer_),
                            [self = shared_from_this()](const asio::error_code& error, size_t) {
                              if (self->closed_) return;
                              if (error) return self->Close();
                              self->Discard();
                            });
  }

  HttpListener& listener_;
  asio::ip::tcp::socket socket_;
  asio::steady_timer deadline_;
  const asio::ip::address peer_;
  const std::string key_;
  const uint64_t order_;
  RequestHeadReader reader_;
  std::array<char, 4096> buffer_;
  bool closed_ = false;
  bool answering_ = false;  // the request is complete (or refused): it is being answered
  bool headOnly_ = false;
  Reply reply_;
  std::string head_;
  std::vector<char> chunk_;
  uint64_t sent_ = 0;
};

HttpListener::HttpListener(asio::io_context& io, ListenerLimits limits, Handler handler)
    : io_(io), limits_(limits), handler_(std::move(handler)), acceptor_(io) {}

HttpListener::~HttpListener() = default;

std::string HttpListener::Listen(const asio::ip::tcp::endpoint& endpoint) {
  asio::error_code error;
  acceptor_.open(endpoint.protocol(), error);
  if (!error) acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true), error);
  if (!error) acceptor_.bind(endpoint, error);
  if (!error) acceptor_.listen(asio::socket_base::max_listen_connections, error);
  if (error) return error.message();
  port_ = acceptor_.local_endpoint(error).port();
  AcceptNext();
  return {};
}

void HttpListener::Close() {
  closed_ = true;
  asio::error_code ignored;
  acceptor_.close(ignored);
  auto open = open_;
  for (auto& [raw, weak] : open) {
    if (auto connection = weak.lock()) connection->Close();
  }
}

void HttpListener::AcceptNext() {
  acceptor_.async_accept([this](const asio::error_code& error, asio::ip::tcp::socket socket) {
    if (closed_ || error == asio::error::operation_aborted) return;
    if (!error) {
      Admit(std::move(socket));
      return AcceptNext();
    }
    // Out of descriptors or the like: try again in a moment rather than spin.
    auto pause = std::make_shared<asio::steady_timer>(io_, std::chrono::milliseconds(100));
    pause->async_wait([this, pause](const asio::error_code&) {
      if (!closed_) AcceptNext();
    });
  });
}

void HttpListener::Admit(asio::ip::tcp::socket socket) {
  asio::error_code error;
  auto remote = socket.remote_endpoint(error);
  if (error) return;
  std::string key = AddressKey(remote.address());
  auto counted = perAddress_.find(key);
  bool full = counted != perAddress_.end() && counted->second >= limits_.connectionsPerAddress;
  if (full) full = !DropOldestSending(key);
  if (full || open_.size() >= limits_.connections) {
    // Told at once and closed unread: the page fits the socket's buffer, so nothing waits.
    Reply busy = BusyReply();
    std::string text = ReplyHead(busy) + busy.body;
    socket.non_blocking(true, error);
    if (!error) socket.write_some(asio::buffer(text), error);
    socket.shutdown(asio::ip::tcp::socket::shutdown_both, error);
    return;
  }
  ++perAddress_[key];
  auto connection =
      std::make_shared<Connection>(*this, std::move(socket), remote.address(), key, ++accepted_);
  open_[connection.get()] = connection;
  connection->Start();
}

bool HttpListener::DropOldestSending(const std::string& key) {
  std::shared_ptr<Connection> oldest;
  for (auto& [raw, weak] : open_) {
    auto connection = weak.lock();
    if (!connection || connection->Key() != key || !connection->Sending()) continue;
    if (!oldest || connection->Order() < oldest->Order()) oldest = connection;
  }
  if (!oldest) return false;
  oldest->Close();
  return true;
}

void HttpListener::Forget(Connection& connection) {
  open_.erase(&connection);
  auto counted = perAddress_.find(connection.Key());
  if (counted != perAddress_.end() && --counted->second == 0) perAddress_.erase(counted);
}

}  // namespace lobbyd::web
