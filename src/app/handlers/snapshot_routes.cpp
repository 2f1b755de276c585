#include "app/handlers/handlers.hpp"
#include "platform/clock.hpp"

#include <algorithm>

namespace tavrix::app {

namespace {
constexpr std::size_t kSnapshotActions = 20;
}

Response handle_state(AppState& state) {
  Json doc = snapshot(state);
  doc["dev"] = state.dev;
  doc["state_ts"] = state.state_ts.get();
  doc["actions"] = state.actions.with([](const Ring<Json>& log) {
    Json newest_first = Json::array();
    const std::size_t n = std::min(log.size(), kSnapshotActions);
    for (std::size_t i = 0; i < n; ++i) {
      newest_first.push_back(log.at(log.size() - 1 - i));
    }
    return newest_first;
  });
  return json_response(200, doc);
}

Response handle_health(AppState& state) {
  const Json doc = snapshot(state);
  std::uint64_t devices = 0;
  if (auto it = doc.find("devices"); it != doc.end() && it->is_array()) {
    devices = it->size();
  }
  return json_response(200, Json{{"demo", state.demo}, {"devices", devices}, {"ok", true}, {"version", "0.1.0"}});
}

Response handle_refresh(AppState& state) {
  state.state_ts.set(platform::now_ms());
  return json_response(200, snapshot(state));
}

}  // namespace tavrix::app
