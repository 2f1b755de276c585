#pragma once
// The exact agent command each device action would run.

#include "devices/records.hpp"

#include <string>
#include <string_view>

namespace tavrix::devices {

// The command line of one action on a device view, as "[host] command" steps.
// Values are inserted unquoted; missing ones read "?" (bus, source) or "????"
// (vid, pid). The mechanism only matters for "mount".
std::string plan_command(std::string_view action, const Json& device, std::string_view target,
                         std::string_view mechanism);

}  // namespace tavrix::devices
