#pragma once
// The HTTP/1.1 server under the dashboard: Boost.Beast sessions on one
// io_context run by the calling thread, so handlers run one at a time while
// slow, idle or half-open clients never hold anyone else up.

#include "app/http_io.hpp"

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <string>

namespace tavrix::app {

// Limits of one connection.
inline constexpr std::size_t kHeaderLimit = 16 * 1024;
inline constexpr std::size_t kBodyLimit = 1024 * 1024;

class HttpServer {
 public:
  using Handler = std::function<Response(const Request&)>;

  // Listens on 0.0.0.0:{port}; fails with "bind 0.0.0.0:{port}: {reason}".
  static std::expected<std::unique_ptr<HttpServer>, std::string> bind(std::uint16_t port);

  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Serves requests through `handler` on this thread. `on_exit_sent` runs
  // once an answer marked exit_after_send has been written (or could not be)
  // and is expected to end the process. Returns only when serving stops.
  void run(Handler handler, std::function<void()> on_exit_sent);

 private:
  struct Impl;
  explicit HttpServer(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace tavrix::app
