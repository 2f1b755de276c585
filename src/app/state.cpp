#include "app/state.hpp"

#include "platform/clock.hpp"

namespace tavrix::app {

AppState::AppState(bool demo_mode, bool dev_mode)
    : state_ts(platform::now_ms()), demo(demo_mode), dev(dev_mode) {}

void log_action(AppState& state, Json entry) {
  state.actions.with([&](Ring<Json>& log) {
    log.push(std::move(entry));
    state.state_ts.set(platform::now_ms());
  });
}

Json snapshot(AppState& state) {
  const devices::MountOverrides overrides = state.mounts.get();
  return devices::build_inventory(state.demo, overrides);
}

}  // namespace tavrix::app
