#pragma once
// Live discovery: the USB devices that `lsusb` reports on this machine.

#include "devices/records.hpp"

#include <optional>
#include <string_view>
#include <vector>

namespace tavrix::devices {

// The device of one `lsusb` listing line ("Bus 001 Device 004: ID 2e8a:0003 Name"),
// or nothing for lines that do not parse and for Linux root hubs (vendor 1d6b).
std::optional<Device> parse_lsusb_line(std::string_view line);

// Every device of an `lsusb` listing (already valid UTF-8), in listing order.
std::vector<Device> parse_lsusb_output(std::string_view text);

// Runs `lsusb` and parses its listing. Never fails: a missing or failing
// `lsusb` yields no devices.
std::vector<Device> scan_local_devices();

}  // namespace tavrix::devices
