#include "devices/capabilities.hpp"
#include "devices/catalogue.hpp"

#include <gtest/gtest.h>

namespace tavrix::devices {
namespace {

TEST(Capabilities, FollowWhereTheDeviceSits) {
  struct Case {
    const char* source;
    std::optional<std::string> mounted_on;
    bool exportable;
    bool mount, unmount, linux_side;
  };
  const Case cases[] = {
      {"this-container", "this-container", false, false, false, true},  // live device at home
      {"laptop", std::nullopt, true, true, false, false},               // demo device, unmounted
      {"laptop", "laptop-wsl2", true, false, true, true},               // routed into WSL2
      {"laptop", "laptop", true, true, false, false},                   // at home on Windows
      {"laptop", "nowhere-host", true, false, true, false},             // unknown mount host
      {"laptop", "azure-vm", true, false, true, false},                 // away on Windows
      {"workcell-rpi-001", "workcell-rpi-001", true, true, false, true},
  };
  const std::vector<Host> hosts = host_catalogue(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " on " + c.mounted_on.value_or("(none)"));
    Device d;
    d.source_id = c.source;
    d.mounted_on = c.mounted_on;
    Capabilities caps = capabilities_for(d, hosts, c.exportable);
    EXPECT_EQ(caps.mount, c.mount);
    EXPECT_EQ(caps.unmount, c.unmount);
    for (bool flag : {caps.reset, caps.test, caps.class_override, caps.sniff}) {
      EXPECT_EQ(flag, c.linux_side);
    }
    if (c.linux_side) {
      EXPECT_FALSE(caps.reason.has_value());
    } else {
      EXPECT_EQ(caps.reason, "Mount to a Linux target to reset / test / force-class / sniff.");
    }
  }
}

TEST(Capabilities, JsonHasSevenMembersAndNullReason) {
  Capabilities caps;
  caps.reset = true;
  EXPECT_EQ(capabilities_to_json(caps).dump(),
            R"({"class_override":false,"mount":false,"reason":null,"reset":true,"sniff":false,"test":false,)"
            R"("unmount":false})");
}

}  // namespace
}  // namespace tavrix::devices
