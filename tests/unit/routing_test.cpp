#include "devices/catalogue.hpp"
#include "devices/routing.hpp"

#include <gtest/gtest.h>

#include <fmt/format.h>

namespace tavrix::devices {
namespace {

Device device_on(const std::string& source_id, const std::string& source_label = "Somewhere") {
  Device d;
  d.id = source_id + ":0001:0002";
  d.source_id = source_id;
  d.source_label = source_label;
  return d;
}

// "host:mechanism" per target, "!" marking a blocked one.
std::vector<std::string> summary(const std::vector<Target>& targets) {
  std::vector<std::string> out;
  for (const Target& t : targets) {
    out.push_back(fmt::format("{}:{}{}", t.host_id, t.mechanism, t.blocked_reason.empty() ? "" : "!"));
  }
  return out;
}

TEST(Routing, MatrixOverTheCatalogue) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"laptop",
       {"laptop:native", "laptop-wsl2:usbipd-attach-wsl", "this-container:reverse-tunnel", "azure-vm:usbip-win-client!",
        "azure-wsl2:reverse-tunnel"}},
      {"azure-vm",
       {"laptop:native", "laptop-wsl2:reverse-tunnel", "this-container:reverse-tunnel", "azure-vm:native",
        "azure-wsl2:usbipd-attach-wsl"}},
      {"workcell-rpi-001",
       {"laptop:native", "laptop-wsl2:reverse-tunnel", "this-container:reverse-tunnel", "azure-vm:usbip-win-client!",
        "azure-wsl2:reverse-tunnel"}},
      {"laptop-wsl2", {"laptop-wsl2:native"}},
      {"azure-wsl2", {"azure-wsl2:native"}},
      {"this-container", {"this-container:native"}},
      {"mars-rover", {"mars-rover:native"}},
  };
  for (bool demo : {false, true}) {
    const std::vector<Host> hosts = host_catalogue(demo);
    for (const auto& [source, expected] : cases) {
      SCOPED_TRACE(source);
      EXPECT_EQ(summary(targets_for(device_on(source), hosts)), expected);
    }
  }
}

TEST(Routing, LabelsAndReasons) {
  const std::vector<Host> hosts = host_catalogue(true);
  const auto laptop = targets_for(device_on("laptop"), hosts);
  EXPECT_EQ(laptop[0].label, "Pelloran's laptop (Windows) (native)");
  EXPECT_EQ(laptop[1].label, "Laptop WSL2 / Orvane Desktop");
  EXPECT_EQ(laptop[3].blocked_reason,
            "Deferred in v1 — mounting a remote device into native Windows needs the test-signed usbip-win client "
            "driver.");
  const auto azure = targets_for(device_on("azure-vm"), hosts);
  EXPECT_EQ(azure[0].label, "Pelloran's laptop (Windows)");  // another machine's laptop: plain label
  EXPECT_EQ(azure[3].label, "Azure VM desktop (Windows) (native)");
  // Non-exporting and unknown sources take the label from the device record.
  const auto container = targets_for(device_on("this-container", "Label From Record"), hosts);
  EXPECT_EQ(container[0].label, "Label From Record (native)");
  EXPECT_TRUE(container[0].blocked_reason.empty());
}

TEST(Routing, MachineGroups) {
  const std::pair<const char*, const char*> cases[] = {
      {"laptop", "laptop-machine"},      {"laptop-wsl2", "laptop-machine"}, {"azure-vm", "azure-machine"},
      {"azure-wsl2", "azure-machine"},   {"this-container", "this-container"},
      {"workcell-rpi-001", "workcell-rpi-001"},
  };
  for (const auto& [id, group] : cases) {
    Host h;
    h.id = id;
    EXPECT_EQ(machine_group_of(h), group) << id;
  }
}

TEST(Routing, RouteToWithoutASourceGroupNeverPicksWslAttach) {
  Host wsl{"laptop-wsl2", "WSL", "wsl2", "linux", "local", true, true, true};
  auto target = route_to(device_on("laptop"), "", wsl);
  ASSERT_TRUE(target.has_value());
  EXPECT_EQ(target->mechanism, "reverse-tunnel");
}

}  // namespace
}  // namespace tavrix::devices
