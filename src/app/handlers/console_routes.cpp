#include "app/handlers/handlers.hpp"

namespace tavrix::app {

Response handle_console_post(const Request& request, AppState& state) {
  auto value = read_json_body(request);
  if (!value) {
    return error_response(400, value.error());
  }
  state.console.with([&](Ring<Json>& console) { console.push(std::move(*value)); });
  return json_response(200, Json{{"ok", true}});
}

Response handle_console_get(AppState& state) {
  Json messages = state.console.with([](const Ring<Json>& console) {
    Json all = Json::array();
    for (std::size_t i = 0; i < console.size(); ++i) {
      all.push_back(console.at(i));
    }
    return all;
  });
  return json_response(200, Json{{"messages", std::move(messages)}});
}

}  // namespace tavrix::app
