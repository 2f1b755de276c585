#include "app/http_server.hpp"

#include "platform/text.hpp"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <fmt/format.h>

#include <array>
#include <chrono>
#include <optional>
#include <fcntl.h>
#include <sys/resource.h>

namespace tavrix::app {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

// How long a connection may sit idle, or take to send one request or to
// receive one answer, before it is closed.
constexpr std::chrono::seconds kIdleTimeout{30};
// How long a closing connection's remaining input is read and dropped.
constexpr std::chrono::seconds kLingerTime{2};

// An error text in the style the rest of the program uses for OS failures.
std::string error_text(const boost::system::error_code& ec) {
  if (ec.category() == boost::system::system_category()) {
    return platform::os_error_text(ec.value());
  }
  return ec.message();
}

// Many idle clients each hold a descriptor; the default soft limit of 1024
// would be reached long before memory is a concern.
void raise_descriptor_limit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 65536);
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
}

bool iequals(beast::string_view a, beast::string_view b) { return beast::iequals(a, b); }

// Asio leaves its sockets inheritable; lsusb and tavrix-cli, started while the
// server runs, must not keep the port or a client's connection open.
void close_on_exec(int fd) { ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC); }

struct Shared {
  HttpServer::Handler handler;
  std::function<void()> on_exit_sent;
};

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(tcp::socket socket, Shared& shared) : stream_(std::move(socket)), shared_(shared) {}

  void start() { read_header(); }

 private:
  void read_header() {
    parser_.emplace();
    parser_->header_limit(kHeaderLimit);
    parser_->body_limit(kBodyLimit);
    stream_.expires_after(kIdleTimeout);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = shared_from_this()](beast::error_code ec, std::size_t) { self->on_header(ec); });
  }

  void on_header(beast::error_code ec) {
    if (ec) {
      // A client that went away or stayed silent gets nothing; one that sent
      // something unreadable is told so before the connection closes.
      if (ec == http::error::end_of_stream || ec == beast::error::timeout || ec == asio::error::eof ||
          ec == asio::error::connection_reset || ec == asio::error::operation_aborted) {
        return close();
      }
      // A declared length over the limit is caught with the header already.
      const char* what = ec == http::error::body_limit ? "read body: " : "read request: ";
      return send(error_response(400, what + ec.message()), false);
    }
    const auto& req = parser_->get();
    version_ = req.version();
    // A page on another site can make the browser POST here without a
    // preflight; such requests are refused before their body is read.
    if (req.method() == http::verb::post) {
      auto site = req.find("Sec-Fetch-Site");
      if (site != req.end() && iequals(site->value(), "cross-site")) {
        return send(error_response(403, "cross-site request refused"), false);
      }
    }
    if (parser_->is_done()) {
      return dispatch();
    }
    auto expect = req.find(http::field::expect);
    if (expect != req.end() && iequals(expect->value(), "100-continue")) {
      auto interim = std::make_shared<http::response<http::empty_body>>(http::status::continue_, req.version());
      return http::async_write(stream_, *interim,
                               [self = shared_from_this(), interim](beast::error_code write_ec, std::size_t) {
                                 if (write_ec) return self->close();
                                 self->read_body();
                               });
    }
    read_body();
  }

  void read_body() {
    stream_.expires_after(kIdleTimeout);
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code ec, std::size_t) { self->on_body(ec); });
  }

  void on_body(beast::error_code ec) {
    if (ec) {
      if (ec == http::error::body_limit || ec == http::error::bad_chunk || ec == http::error::bad_chunk_extension) {
        return send(error_response(400, "read body: " + ec.message()), false);
      }
      return close();  // the client is gone or stalled mid-body
    }
    dispatch();
  }

  void dispatch() {
    auto& req = parser_->get();
    Request request;
    request.method = std::string(req.method_string());
    request.target = std::string(req.target());
    request.body = std::move(req.body());
    head_request_ = req.method() == http::verb::head;
    const bool keep_alive = req.keep_alive();
    send(shared_.handler(request), keep_alive);
  }

  void send(Response response, bool keep_alive) {
    auto res = std::make_shared<http::response<http::string_body>>(static_cast<http::status>(response.status), version_);
    for (auto& [name, value] : response.headers) {
      res->insert(name, value);
    }
    res->body() = std::move(response.body);
    res->keep_alive(keep_alive && !response.exit_after_send);
    res->prepare_payload();
    if (head_request_) {
      res->body().clear();  // the length stays announced; the bytes are not sent
    }
    const bool exit_after = response.exit_after_send;
    stream_.expires_after(kIdleTimeout);
    http::async_write(stream_, *res, [self = shared_from_this(), res, exit_after](beast::error_code ec, std::size_t) {
      if (exit_after) {
        self->shared_.on_exit_sent();
        return;
      }
      if (ec) {
        return self->close();
      }
      if (!res->keep_alive()) {
        return self->linger_close();
      }
      self->head_request_ = false;
      self->read_header();
    });
  }

  // Closing while the client is still sending (a refused or oversized body)
  // would reset the connection and could destroy the answer before the client
  // reads it. So the sending side is shut first and what still arrives is
  // discarded until the client closes or a short grace period ends.
  void linger_close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.expires_after(kLingerTime);
    discard_rest();
  }

  void discard_rest() {
    stream_.async_read_some(asio::buffer(scratch_), [self = shared_from_this()](beast::error_code ec, std::size_t) {
      if (ec) return self->close();
      self->discard_rest();
    });
  }

  void close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
  }

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  std::array<char, 4096> scratch_{};
  bool head_request_ = false;
  unsigned version_ = 11;  // of the request being answered; 1.1 until one is read
  Shared& shared_;
};

}  // namespace

struct HttpServer::Impl {
  asio::io_context io{1};
  tcp::acceptor acceptor{io};
  asio::steady_timer retry_timer{io};
  Shared shared;

  void accept() {
    acceptor.async_accept([this](beast::error_code ec, tcp::socket socket) {
      if (ec) {
        // Out of descriptors or a transient failure: pause instead of spinning.
        retry_timer.expires_after(std::chrono::milliseconds(50));
        retry_timer.async_wait([this](beast::error_code) { accept(); });
        return;
      }
      close_on_exec(socket.native_handle());
      socket.set_option(tcp::no_delay(true), ec);
      std::make_shared<Session>(std::move(socket), shared)->start();
      accept();
    });
  }
};

HttpServer::HttpServer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
HttpServer::~HttpServer() = default;

std::expected<std::unique_ptr<HttpServer>, std::string> HttpServer::bind(std::uint16_t port) {
  raise_descriptor_limit();
  auto impl = std::make_unique<Impl>();
  const std::string address = fmt::format("0.0.0.0:{}", port);
  beast::error_code ec;
  auto fail = [&] { return std::unexpected(fmt::format("bind {}: {}", address, error_text(ec))); };
  const tcp::endpoint endpoint(asio::ip::address_v4::any(), port);
  if (impl->acceptor.open(endpoint.protocol(), ec); ec) return fail();
  close_on_exec(impl->acceptor.native_handle());
  if (impl->acceptor.set_option(asio::socket_base::reuse_address(true), ec); ec) return fail();
  if (impl->acceptor.bind(endpoint, ec); ec) return fail();
  if (impl->acceptor.listen(asio::socket_base::max_listen_connections, ec); ec) return fail();
  return std::unique_ptr<HttpServer>(new HttpServer(std::move(impl)));
}

void HttpServer::run(Handler handler, std::function<void()> on_exit_sent) {
  impl_->shared = Shared{std::move(handler), std::move(on_exit_sent)};
  impl_->accept();
  impl_->io.run();
}

}  // namespace tavrix::app
