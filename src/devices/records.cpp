#include "devices/records.hpp"

#include "devices/capabilities.hpp"
#include "devices/routing.hpp"

#include <fmt/format.h>

namespace tavrix::devices {

namespace {

Json optional_text(const std::optional<std::string>& value) {
  return value ? Json(*value) : Json(nullptr);
}

}  // namespace

std::optional<std::string> text_member(const Json& object, const char* key) {
  if (!object.is_object()) {
    return std::nullopt;
  }
  auto it = object.find(key);
  if (it == object.end() || !it->is_string()) {
    return std::nullopt;
  }
  return it->get<std::string>();
}

std::string hex4_upper(std::uint16_t value) { return fmt::format("{:04X}", value); }

std::string hex4_lower(std::uint16_t value) { return fmt::format("{:04x}", value); }

Json host_to_json(const Host& host) {
  return Json{{"id", host.id},
              {"label", host.label},
              {"kind", host.kind},
              {"os", host.os},
              {"location", host.location},
              {"can_consume", host.can_consume},
              {"linux", host.linux},
              {"agent_online", host.agent_online}};
}

Json device_to_json(const Device& device) {
  return Json{{"id", device.id},
              {"name", device.name},
              {"vid", device.vid},
              {"pid", device.pid},
              {"serial", optional_text(device.serial)},
              {"class", device.device_class},
              {"bus_id", optional_text(device.bus_id)},
              {"source_id", device.source_id},
              {"source_label", device.source_label},
              {"location", device.location},
              {"mounted_on", optional_text(device.mounted_on)},
              {"demo", device.demo}};
}

Json device_view(const Device& device, const std::vector<Host>& hosts) {
  Json view = device_to_json(device);
  view["vid_hex"] = hex4_upper(device.vid);
  view["pid_hex"] = hex4_upper(device.pid);

  const std::vector<Target> targets = targets_for(device, hosts);
  bool exportable = false;
  Json targets_json = Json::array();
  for (const Target& target : targets) {
    exportable = exportable || target.host_id != device.source_id;
    targets_json.push_back(target_to_json(target));
  }
  view["targets"] = std::move(targets_json);
  view["exportable"] = exportable;
  view["capabilities"] = capabilities_to_json(capabilities_for(device, hosts, exportable));
  return view;
}

Json inventory_document(const std::vector<Host>& hosts, const std::vector<Device>& devices, bool demo) {
  Json hosts_json = Json::array();
  for (const Host& host : hosts) {
    hosts_json.push_back(host_to_json(host));
  }
  Json devices_json = Json::array();
  std::uint64_t local = 0, cloud = 0, mounted = 0;
  for (const Device& device : devices) {
    devices_json.push_back(device_view(device, hosts));
    local += device.location == "local";
    cloud += device.location == "cloud";
    mounted += device.mounted_on.has_value();
  }
  return Json{{"hosts", std::move(hosts_json)},
              {"devices", std::move(devices_json)},
              {"demo", demo},
              {"counts", Json{{"total", static_cast<std::uint64_t>(devices.size())},
                              {"local", local},
                              {"cloud", cloud},
                              {"mounted", mounted}}}};
}

std::optional<Json> find_device(const Json& document, std::string_view device_id) {
  if (!document.is_object()) {
    return std::nullopt;
  }
  auto devices = document.find("devices");
  if (devices == document.end() || !devices->is_array()) {
    return std::nullopt;
  }
  for (const Json& view : *devices) {
    if (!view.is_object()) {
      continue;
    }
    auto id = view.find("id");
    if (id != view.end() && id->is_string() && id->get_ref<const std::string&>() == device_id) {
      return view;
    }
  }
  return std::nullopt;
}

}  // namespace tavrix::devices
