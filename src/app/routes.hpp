#pragma once
// The route table: method and path to handler.

#include "app/handlers/handlers.hpp"
#include "app/http_io.hpp"
#include "app/state.hpp"

namespace tavrix::app {

// The answer to one request: its route's handler, or 404 "unknown endpoint:
// {method} {path}". Only GET and POST are routed; the evaluation routes exist
// only when the state's `dev` is set.
Response route_request(const Request& request, AppState& state, const TabSettings& tab);

}  // namespace tavrix::app
