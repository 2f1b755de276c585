#pragma once
// The routing matrix: where a device may be mounted and by which mechanism.

#include "devices/records.hpp"

#include <optional>
#include <string>
#include <vector>

namespace tavrix::devices {

namespace mechanism {
inline constexpr const char* native = "native";
inline constexpr const char* usbipd_attach_wsl = "usbipd-attach-wsl";
inline constexpr const char* reverse_tunnel = "reverse-tunnel";
inline constexpr const char* usbip_win_client = "usbip-win-client";
inline constexpr const char* direct_tcp = "direct-tcp";
}  // namespace mechanism

// The one reason every blocked target carries.
inline constexpr const char* kWindowsMountDeferred =
    "Deferred in v1 — mounting a remote device into native Windows needs the test-signed usbip-win "
    "client driver.";

// One possible destination of one device; `blocked_reason` empty when usable.
struct Target {
  std::string host_id;
  std::string label;
  std::string mechanism;
  std::string blocked_reason;
};

// The JSON form of a target: four strings.
Json target_to_json(const Target& target);

// The physical machine a host belongs to: WSL2 shares its Windows host's group.
std::string machine_group_of(const Host& host);

// The device's destinations in catalogue order; never empty (a device of a
// non-exporting or unknown host gets exactly its own native target).
std::vector<Target> targets_for(const Device& device, const std::vector<Host>& hosts);

// The target `candidate` offers a device whose source host is in
// `source_group`, or nothing when the candidate is not offered at all.
std::optional<Target> route_to(const Device& device, const std::string& source_group, const Host& candidate);

}  // namespace tavrix::devices
