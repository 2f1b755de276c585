#pragma once
// Talking to a running dashboard server on 127.0.0.1.

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <expected>
#include <string>

namespace tavrix::cli {

// How long one request may take before the client gives up: generous, so a
// slow lsusb is waited for, but an agent never hangs on a stuck server.
inline constexpr std::chrono::seconds kClientTimeout{30};

struct HttpAnswer {
  unsigned status = 0;
  std::string body;
};

// One request to http://127.0.0.1:{port}{path}; a JSON body (and its
// Content-Type) is sent when `json_body` is not empty. Fails with a
// description of why no answer came.
std::expected<HttpAnswer, std::string> http_exchange(std::uint16_t port, const std::string& method,
                                                     const std::string& path, const std::string& json_body);

// POSTs `body` to the dashboard and returns the answer's JSON. Failures:
// "could not reach the dashboard on port {port} ({error}). Start it with:
// tavrix-usb app", "server returned {status}: {error}", "parse response: {reason}".
std::expected<nlohmann::json, std::string> dashboard_post(std::uint16_t port, const std::string& path,
                                                          const nlohmann::json& body);

}  // namespace tavrix::cli
