#include "devices/catalogue.hpp"
#include "devices/plans.hpp"

#include <gtest/gtest.h>

namespace tavrix::devices {
namespace {

Json demo_view(const std::string& id) {
  auto view = find_device(assemble_inventory(true, {}, {}), id);
  return view.value_or(Json());
}

TEST(PlanCommand, TemplatesByActionAndMechanism) {
  const Json rp2040 = demo_view("laptop:2e8a:0003");
  const Json stlink = demo_view("laptop:0483:374b");
  struct Case {
    const char* action;
    const Json& device;
    const char* target;
    const char* mechanism;
    const char* expected;
  };
  const Case cases[] = {
      {"mount", rp2040, "laptop-wsl2", "usbipd-attach-wsl",
       "[laptop] usbipd bind --busid 2-4 && usbipd attach --wsl --busid 2-4"},
      {"mount", rp2040, "this-container", "reverse-tunnel",
       "[laptop] usbipd bind --busid 2-4 ; tavrix-desktop tunnel --reverse --expose laptop:3240 ; [this-container] "
       "usbip attach -r 127.0.0.1 -b 2-4"},
      {"mount", rp2040, "azure-wsl2", "direct-tcp", "[azure-wsl2] usbip attach -r laptop -b 2-4"},
      {"mount", rp2040, "laptop", "native", "[laptop] (native) re-bind 2E8A:0003 to the host driver"},
      {"mount", rp2040, "azure-vm", "usbip-win-client", "[azure-vm] mount 2E8A:0003"},
      {"mount", rp2040, "laptop", "NATIVE", "[laptop] mount 2E8A:0003"},
      {"unmount", stlink, "laptop-wsl2", "reverse-tunnel",
       "[laptop-wsl2] usbip detach (device 0483:374B) ; [laptop] usbipd unbind --busid 2-1"},
      {"reset", stlink, "laptop-wsl2", "", "[laptop-wsl2] usb reset ioctl on 0483:374B (detach+reattach)"},
      {"reset", stlink, "", "", "[] usb reset ioctl on 0483:374B (detach+reattach)"},
      {"test", stlink, "laptop-wsl2", "", "[laptop-wsl2] lsusb -v -d 0483:374B + enumerate/echo health check"},
      {"class_override", stlink, "laptop-wsl2", "usbipd-attach-wsl",
       "[laptop-wsl2] echo <driver> > driver_override ; rebind 0483:374B"},
      {"sniff", stlink, "laptop-wsl2", "", "[laptop-wsl2] modprobe usbmon ; capture usbmonX for 0483:374B → pcap"},
      {"flash", stlink, "x", "native", "[x] flash 0483:374B"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.action) + "/" + c.mechanism);
    EXPECT_EQ(plan_command(c.action, c.device, c.target, c.mechanism), c.expected);
  }
}

TEST(PlanCommand, MissingValuesReadAsPlaceholders) {
  const Json partial = {{"bus_id", nullptr}, {"vid_hex", 7}, {"pid_hex", "0003"}};
  EXPECT_EQ(plan_command("mount", partial, "t", "usbipd-attach-wsl"),
            "[?] usbipd bind --busid ? && usbipd attach --wsl --busid ?");
  EXPECT_EQ(plan_command("reset", partial, "t", ""), "[t] usb reset ioctl on ????:0003 (detach+reattach)");
  EXPECT_EQ(plan_command("test", Json("not an object"), "t", ""),
            "[t] lsusb -v -d ????:???? + enumerate/echo health check");
}

}  // namespace
}  // namespace tavrix::devices
