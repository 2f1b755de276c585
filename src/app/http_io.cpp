#include "app/http_io.hpp"

#include "platform/text.hpp"

#include <string_view>

namespace tavrix::app {

namespace {

struct TooDeep {};

}  // namespace

std::string Request::path() const { return target.substr(0, target.find('?')); }

std::string compact_json(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Response json_response(unsigned status, const Json& value) {
  Response response;
  response.status = status;
  response.headers = {{"Content-Type", "application/json"},
                      {"Cache-Control", "no-cache"},
                      {"Content-Security-Policy", "frame-ancestors *"}};
  response.body = compact_json(value);
  return response;
}

Response error_response(unsigned status, const std::string& message) {
  return json_response(status, Json{{"error", message}});
}

std::expected<Json, std::string> read_json_body(const Request& request) {
  if (!platform::is_valid_utf8(request.body)) {
    return std::unexpected("read body: stream did not contain valid UTF-8");
  }
  if (request.body.empty()) {
    return Json(nullptr);
  }
  // The parser itself is iterative; the depth check keeps later copies and
  // serialisations, which recurse, within a safe bound.
  auto limit_depth = [](int depth, Json::parse_event_t event, Json&) {
    if (depth > kMaxJsonDepth &&
        (event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start)) {
      throw TooDeep{};
    }
    return true;
  };
  try {
    return Json::parse(request.body, limit_depth);
  } catch (const Json::parse_error& e) {
    return std::unexpected("parse JSON: " + platform::library_error_text(e.what()));
  } catch (const TooDeep&) {
    return std::unexpected("parse JSON: nesting deeper than " + std::to_string(kMaxJsonDepth) + " levels");
  }
}

}  // namespace tavrix::app
