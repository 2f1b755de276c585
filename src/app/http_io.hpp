#pragma once
// Requests as handlers see them, answers as they build them, and the two
// helpers every JSON route uses.

#include "devices/records.hpp"

#include <expected>
#include <string>
#include <utility>
#include <vector>

namespace tavrix::app {

using devices::Json;

struct Request {
  std::string method;  // as received: GET, POST, or any other token
  std::string target;  // the URL as sent, query included
  std::string body;    // raw bytes
  // The path: the target up to, not including, the first '?'.
  std::string path() const;
};

struct Response {
  unsigned status = 200;
  std::vector<std::pair<std::string, std::string>> headers;  // written in this order
  std::string body;
  // Set by POST /shutdown: the server ends the process once this is sent.
  bool exit_after_send = false;
};

// Nesting deeper than this is refused when a body is parsed, so every stored
// value can be copied and written back out without exhausting the stack.
inline constexpr int kMaxJsonDepth = 512;

// Status, compact JSON body (keys in byte order) and the headers
// Content-Type "application/json", Cache-Control "no-cache",
// Content-Security-Policy "frame-ancestors *", in that order.
Response json_response(unsigned status, const Json& value);

// {"error": message} with `status`.
Response error_response(unsigned status, const std::string& message);

// The body as one JSON value: null when empty; "read body: {reason}" when not
// UTF-8; "parse JSON: {reason}" when not exactly one JSON value.
std::expected<Json, std::string> read_json_body(const Request& request);

// The compact JSON text of `value`; invalid UTF-8 can never make it throw.
std::string compact_json(const Json& value);

}  // namespace tavrix::app
