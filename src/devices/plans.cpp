#include "devices/plans.hpp"

#include <fmt/format.h>

namespace tavrix::devices {

std::string plan_command(std::string_view action, const Json& device, std::string_view target,
                         std::string_view mechanism) {
  const std::string bus = text_member(device, "bus_id").value_or("?");
  const std::string source = text_member(device, "source_id").value_or("?");
  const std::string vid = text_member(device, "vid_hex").value_or("????");
  const std::string pid = text_member(device, "pid_hex").value_or("????");

  if (action == "mount") {
    if (mechanism == "usbipd-attach-wsl") {
      return fmt::format("[{0}] usbipd bind --busid {1} && usbipd attach --wsl --busid {1}", source, bus);
    }
    if (mechanism == "reverse-tunnel") {
      return fmt::format(
          "[{0}] usbipd bind --busid {1} ; tavrix-desktop tunnel --reverse --expose {0}:3240 ; "
          "[{2}] usbip attach -r 127.0.0.1 -b {1}",
          source, bus, target);
    }
    if (mechanism == "direct-tcp") {
      return fmt::format("[{}] usbip attach -r {} -b {}", target, source, bus);
    }
    if (mechanism == "native") {
      return fmt::format("[{}] (native) re-bind {}:{} to the host driver", target, vid, pid);
    }
  } else if (action == "unmount") {
    return fmt::format("[{}] usbip detach (device {}:{}) ; [{}] usbipd unbind --busid {}", target, vid, pid,
                       source, bus);
  } else if (action == "reset") {
    return fmt::format("[{}] usb reset ioctl on {}:{} (detach+reattach)", target, vid, pid);
  } else if (action == "test") {
    return fmt::format("[{}] lsusb -v -d {}:{} + enumerate/echo health check", target, vid, pid);
  } else if (action == "class_override") {
    return fmt::format("[{}] echo <driver> > driver_override ; rebind {}:{}", target, vid, pid);
  } else if (action == "sniff") {
    return fmt::format("[{}] modprobe usbmon ; capture usbmonX for {}:{} → pcap", target, vid, pid);
  }
  return fmt::format("[{}] {} {}:{}", target, action, vid, pid);
}

}  // namespace tavrix::devices
