#include "app/routes.hpp"

#include <fmt/format.h>

namespace tavrix::app {

namespace {

Response unknown_endpoint(const Request& request, const std::string& path) {
  return error_response(404, fmt::format("unknown endpoint: {} {}", request.method, path));
}

bool is_eval_result_path(const std::string& path) {
  return path.starts_with("/eval/") && path.ends_with("/result");
}

}  // namespace

Response route_request(const Request& request, AppState& state, const TabSettings& tab) {
  const std::string path = request.path();
  if (request.method == "GET") {
    if (path == "/" || path == "/index.html") return handle_page();
    if (path == "/favicon.svg") return handle_icon();
    if (path == "/health") return handle_health(state);
    if (path == "/state") return handle_state(state);
    if (path == "/console") return handle_console_get(state);
    if (path == "/eval/pending" && state.dev) return handle_eval_pending(state);
  } else if (request.method == "POST") {
    if (path == "/refresh") return handle_refresh(state);
    if (path == "/mount") return handle_mount(request, state);
    if (path == "/unmount") return handle_unmount(request, state);
    if (path == "/reset") return handle_device_op(request, state, "reset");
    if (path == "/test") return handle_device_op(request, state, "test");
    if (path == "/class-override") return handle_device_op(request, state, "class_override");
    if (path == "/sniff") return handle_device_op(request, state, "sniff");
    if (path == "/console") return handle_console_post(request, state);
    if (path == "/eval" && state.dev) return handle_eval_post(request, state);
    if (is_eval_result_path(path) && state.dev) return handle_eval_result(request, state);
    if (path == "/shutdown") return handle_shutdown(tab);
  }
  return unknown_endpoint(request, path);
}

}  // namespace tavrix::app
