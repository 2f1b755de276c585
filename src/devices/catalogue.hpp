#pragma once
// The fixed host catalogue, the demo device set and the inventory builder.

#include "devices/records.hpp"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavrix::devices {

// Device id -> the host it is mounted on, or nothing for "mounted nowhere".
using MountOverrides = std::map<std::string, std::optional<std::string>>;

// The six hosts of the mesh in inventory order. Every agent is online in demo
// mode; otherwise only this container's.
std::vector<Host> host_catalogue(bool demo);

// The five seeded demo devices, one of each routing situation.
std::vector<Device> demo_devices();

// Hosts, then `live` devices followed by the demo set in demo mode, with the
// overrides applied to every device of a matching id, as an inventory document.
Json assemble_inventory(bool demo, std::vector<Device> live, const MountOverrides& overrides);

// assemble_inventory over a fresh scan of this machine's devices. Never fails.
Json build_inventory(bool demo, const MountOverrides& overrides);

}  // namespace tavrix::devices
