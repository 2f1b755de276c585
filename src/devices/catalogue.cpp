#include "devices/catalogue.hpp"

#include "devices/discovery.hpp"

namespace tavrix::devices {

std::vector<Host> host_catalogue(bool demo) {
  auto host = [demo](std::string id, std::string label, std::string kind, std::string os, std::string location,
                     bool can_consume, bool linux) {
    const bool online = demo || id == "this-container";
    return Host{std::move(id), std::move(label), std::move(kind), std::move(os), std::move(location),
                can_consume,   linux,            online};
  };
  return {
      host("laptop", "Pelloran's laptop (Windows)", "laptop", "windows", "local", true, false),
      host("laptop-wsl2", "Laptop WSL2 / Orvane Desktop", "wsl2", "linux", "local", true, true),
      host("this-container", "This cloud container", "container", "linux", "cloud", true, true),
      host("azure-vm", "Azure VM desktop (Windows)", "azure-vm", "windows", "cloud", false, false),
      host("azure-wsl2", "Azure VM WSL2 / OD-on-VM", "wsl2", "linux", "cloud", true, true),
      host("workcell-rpi-001", "Workcell rpi-001", "workcell", "linux", "cloud", false, true),
  };
}

std::vector<Device> demo_devices() {
  const std::string laptop_label = "Pelloran's laptop (Windows)";
  auto device = [](std::string source_id, std::string source_label, std::string location, std::string name,
                   std::uint16_t vid, std::uint16_t pid, std::optional<std::string> serial, std::string device_class,
                   std::string bus_id, std::optional<std::string> mounted_on) {
    Device d;
    d.id = source_id + ":" + hex4_lower(vid) + ":" + hex4_lower(pid);
    d.name = std::move(name);
    d.vid = vid;
    d.pid = pid;
    d.serial = std::move(serial);
    d.device_class = std::move(device_class);
    d.bus_id = std::move(bus_id);
    d.source_id = std::move(source_id);
    d.source_label = std::move(source_label);
    d.location = std::move(location);
    d.mounted_on = std::move(mounted_on);
    d.demo = true;
    return d;
  };
  return {
      device("laptop", laptop_label, "local", "Raspberry Pi RP2040 (BOOTSEL)", 0x2E8A, 0x0003, "E660C0D1C7332A28",
             "Mass storage (UF2)", "2-4", std::nullopt),
      device("laptop", laptop_label, "local", "ST-Link/V2.1 (STM32 debugger)", 0x0483, 0x374B, "066BFF495054",
             "Vendor / CMSIS-DAP", "2-1", "laptop-wsl2"),
      device("laptop", laptop_label, "local", "CP2102 USB-to-UART Bridge", 0x10C4, 0xEA60, "0001", "CDC serial", "2-3",
             std::nullopt),
      device("workcell-rpi-001", "Workcell rpi-001", "cloud", "CH340 Serial", 0x1A86, 0x7523, std::nullopt,
             "CDC serial", "1-1", "this-container"),
      device("azure-vm", "Azure VM desktop (Windows)", "cloud", "FTDI FT2232H (JTAG/serial)", 0x0403, 0x6010,
             "FT9AB2CD", "Vendor / JTAG", "3-2", std::nullopt),
  };
}

Json assemble_inventory(bool demo, std::vector<Device> live, const MountOverrides& overrides) {
  std::vector<Device> devices = std::move(live);
  if (demo) {
    for (Device& d : demo_devices()) {
      devices.push_back(std::move(d));
    }
  }
  for (Device& d : devices) {
    if (auto entry = overrides.find(d.id); entry != overrides.end()) {
      d.mounted_on = entry->second;
    }
  }
  return inventory_document(host_catalogue(demo), devices, demo);
}

Json build_inventory(bool demo, const MountOverrides& overrides) {
  return assemble_inventory(demo, scan_local_devices(), overrides);
}

}  // namespace tavrix::devices
