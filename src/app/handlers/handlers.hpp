#pragma once
// The handlers behind the route table. Each takes one request and the shared
// state and returns the complete answer; none of them throws.

#include "app/http_io.hpp"
#include "app/state.hpp"

#include <string>

namespace tavrix::app {

// What the shutdown handler needs to know about the workspace tab.
struct TabSettings {
  bool no_tab = false;
  std::string tab_name;
};

// GET / and /index.html, GET /favicon.svg: the stored documents.
Response handle_page();
Response handle_icon();

// GET /state: the inventory plus actions (20 newest first), dev and state_ts.
Response handle_state(AppState& state);
// GET /health: demo, device count, ok, version.
Response handle_health(AppState& state);
// POST /refresh: moves state_ts and answers the bare inventory document.
Response handle_refresh(AppState& state);

// POST /mount and /unmount: checked against a fresh snapshot, applied to the
// mount overrides, logged as "applied".
Response handle_mount(const Request& request, AppState& state);
Response handle_unmount(const Request& request, AppState& state);
// POST /reset, /test, /class-override, /sniff with the operation name `op`
// (reset, test, class_override, sniff): checked, planned, logged as "queued".
Response handle_device_op(const Request& request, AppState& state, const std::string& op);

// POST /console stores the body (500 newest kept); GET /console lists them.
Response handle_console_post(const Request& request, AppState& state);
Response handle_console_get(AppState& state);

// The evaluation hand-over point, served only with --dev.
Response handle_eval_post(const Request& request, AppState& state);
Response handle_eval_pending(AppState& state);
Response handle_eval_result(const Request& request, AppState& state);

// POST /shutdown: removes the tab (unless no_tab) and answers; the server
// exits once the answer is written.
Response handle_shutdown(const TabSettings& tab);

}  // namespace tavrix::app
