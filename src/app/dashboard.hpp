#pragma once
// `tavrix-usb app`: the dashboard server from start-up lines to shutdown.

#include "app/app_args.hpp"

#include <expected>
#include <string>

namespace tavrix::app {

// Prints the start-up lines, binds 0.0.0.0:{port}, opens the workspace tab
// unless no_tab, then serves. Fails with "bind 0.0.0.0:{port}: {reason}";
// POST /shutdown ends the process with status 0.
std::expected<void, std::string> run_dashboard(const AppArgs& args);

}  // namespace tavrix::app
