#include "devices/capabilities.hpp"

#include <algorithm>

namespace tavrix::devices {

Capabilities capabilities_for(const Device& device, const std::vector<Host>& hosts, bool exportable) {
  const bool away = device.mounted_on && *device.mounted_on != device.source_id;
  bool on_linux = false;
  if (device.mounted_on) {
    auto host = std::find_if(hosts.begin(), hosts.end(), [&](const Host& h) { return h.id == *device.mounted_on; });
    on_linux = host != hosts.end() && host->linux;
  }
  Capabilities caps;
  caps.mount = exportable && !away;
  caps.unmount = away;
  caps.reset = caps.test = caps.class_override = caps.sniff = on_linux;
  if (!on_linux) {
    caps.reason = kLinuxOnlyReason;
  }
  return caps;
}

Json capabilities_to_json(const Capabilities& caps) {
  return Json{{"mount", caps.mount},
              {"unmount", caps.unmount},
              {"reset", caps.reset},
              {"test", caps.test},
              {"class_override", caps.class_override},
              {"sniff", caps.sniff},
              {"reason", caps.reason ? Json(*caps.reason) : Json(nullptr)}};
}

}  // namespace tavrix::devices
