#pragma once
// Which device actions are possible where a device sits now.

#include "devices/records.hpp"

#include <optional>
#include <string>
#include <vector>

namespace tavrix::devices {

inline constexpr const char* kLinuxOnlyReason = "Mount to a Linux target to reset / test / force-class / sniff.";

struct Capabilities {
  bool mount = false;
  bool unmount = false;
  bool reset = false;
  bool test = false;
  bool class_override = false;
  bool sniff = false;
  std::optional<std::string> reason;  // null while the Linux-side actions are available
};

// Mount needs somewhere to go and the device at home; unmount needs it away;
// reset/test/class_override/sniff need it mounted on a Linux host.
Capabilities capabilities_for(const Device& device, const std::vector<Host>& hosts, bool exportable);

// The JSON form: six booleans and `reason` as a string or null.
Json capabilities_to_json(const Capabilities& caps);

}  // namespace tavrix::devices
