#pragma once
// Hosts and devices of the mesh, their JSON forms and the inventory document.
// JSON objects are nlohmann's default (std::map) objects, so members are always
// written in ascending byte order of their keys.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrix::devices {

using Json = nlohmann::json;

// One machine of the mesh.
struct Host {
  std::string id;
  std::string label;
  std::string kind;      // laptop, wsl2, container, azure-vm, workcell
  std::string os;        // windows or linux
  std::string location;  // local or cloud
  bool can_consume = false;
  bool linux = false;
  bool agent_online = false;
};

// One USB device plugged into one host.
struct Device {
  std::string id;  // "{source}:{vid}:{pid}", lower-case hex; not unique
  std::string name;
  std::uint16_t vid = 0;
  std::uint16_t pid = 0;
  std::optional<std::string> serial;
  std::string device_class;  // "class" in JSON
  std::optional<std::string> bus_id;
  std::string source_id;
  std::string source_label;
  std::string location;
  std::optional<std::string> mounted_on;
  bool demo = false;
};

// The JSON form of a host: one member per field.
Json host_to_json(const Host& host);

// The JSON form of a device record: one member per field, optional fields as null.
Json device_to_json(const Device& device);

// A device as every document shows it: the record plus vid_hex, pid_hex,
// targets, exportable and capabilities.
Json device_view(const Device& device, const std::vector<Host>& hosts);

// The inventory document: hosts, device views, the demo flag and the counts.
Json inventory_document(const std::vector<Host>& hosts, const std::vector<Device>& devices, bool demo);

// A copy of the first device view whose `id` is the string `device_id`, or
// nothing (also when `devices` is missing or not an array).
std::optional<Json> find_device(const Json& document, std::string_view device_id);

// The member `key` of `object` when it is a string; nothing when it is
// missing, of another type, or `object` is not an object.
std::optional<std::string> text_member(const Json& object, const char* key);

// `value` as exactly four hexadecimal digits, zero-padded.
std::string hex4_upper(std::uint16_t value);
std::string hex4_lower(std::uint16_t value);

}  // namespace tavrix::devices
