#pragma once
// The dashboard server's state: created once at start-up, shared by every
// handler, each changing member behind a lock of its own.

#include "app/locked.hpp"
#include "app/ring.hpp"
#include "devices/catalogue.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace tavrix::app {

using devices::Json;

inline constexpr std::size_t kActionLogBound = 100;
inline constexpr std::size_t kConsoleBound = 500;

// One evaluation job waiting for an agent.
struct EvalJob {
  std::string id;    // "ev" + nanoseconds since the epoch
  std::string code;  // the text to evaluate
};

struct AppState {
  AppState(bool demo, bool dev);

  Locked<std::uint64_t> state_ts;       // change stamp, ms since the epoch
  Locked<devices::MountOverrides> mounts;
  Locked<Ring<Json>> actions{Ring<Json>(kActionLogBound)};
  Locked<Ring<Json>> console{Ring<Json>(kConsoleBound)};
  Locked<std::optional<EvalJob>> eval_pending;
  Locked<std::map<std::string, Json>> eval_results;
  const bool demo;
  const bool dev;
};

// Appends an action log entry (dropping the oldest past 100) and moves
// state_ts to now. Takes `actions`, then `state_ts`: the one nested locking.
void log_action(AppState& state, Json entry);

// A fresh inventory document built with a copy of the current mount
// overrides; no lock is held while it is built.
Json snapshot(AppState& state);

}  // namespace tavrix::app
