#include "devices/routing.hpp"

#include <algorithm>

namespace tavrix::devices {

namespace {

// Hosts that run a USB export agent; containers and WSL2 only consume.
bool is_routable_source(const Host& host) {
  return host.kind == "laptop" || host.kind == "azure-vm" || host.kind == "workcell";
}

std::string native_label(const std::string& label) { return label + " (native)"; }

}  // namespace

Json target_to_json(const Target& target) {
  return Json{{"host_id", target.host_id},
              {"label", target.label},
              {"mechanism", target.mechanism},
              {"blocked_reason", target.blocked_reason}};
}

std::string machine_group_of(const Host& host) {
  if (host.id == "laptop" || host.id == "laptop-wsl2") {
    return "laptop-machine";
  }
  if (host.id == "azure-vm" || host.id == "azure-wsl2") {
    return "azure-machine";
  }
  return host.id;
}

std::optional<Target> route_to(const Device& device, const std::string& source_group, const Host& candidate) {
  if (candidate.id == device.source_id && !candidate.linux) {
    return Target{candidate.id, native_label(candidate.label), mechanism::native, ""};
  }
  if (!candidate.can_consume) {
    if (candidate.os == "windows") {
      return Target{candidate.id, candidate.label, mechanism::usbip_win_client, kWindowsMountDeferred};
    }
    return std::nullopt;
  }
  if (!source_group.empty() && machine_group_of(candidate) == source_group && candidate.kind == "wsl2") {
    return Target{candidate.id, candidate.label, mechanism::usbipd_attach_wsl, ""};
  }
  if (candidate.os == "linux") {
    return Target{candidate.id, candidate.label, mechanism::reverse_tunnel, ""};
  }
  return Target{candidate.id, candidate.label, mechanism::native, ""};
}

std::vector<Target> targets_for(const Device& device, const std::vector<Host>& hosts) {
  auto source = std::find_if(hosts.begin(), hosts.end(), [&](const Host& h) { return h.id == device.source_id; });
  if (source == hosts.end() || !is_routable_source(*source)) {
    return {Target{device.source_id, native_label(device.source_label), mechanism::native, ""}};
  }
  const std::string group = machine_group_of(*source);
  std::vector<Target> targets;
  for (const Host& candidate : hosts) {
    if (auto target = route_to(device, group, candidate)) {
      targets.push_back(std::move(*target));
    }
  }
  return targets;
}

}  // namespace tavrix::devices
