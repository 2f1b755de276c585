#include "devices/discovery.hpp"

#include "platform/process.hpp"
#include "platform/text.hpp"

#include <fmt/format.h>

namespace tavrix::devices {

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_space(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && is_space(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One or more hex digits, an optional leading '+', value at most FFFF.
std::optional<std::uint16_t> parse_hex16(std::string_view text) {
  text = trim(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  if (text.empty()) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  for (char c : text) {
    int digit = hex_digit(c);
    if (digit < 0) {
      return std::nullopt;
    }
    value = value * 16 + static_cast<std::uint32_t>(digit);
    if (value > 0xFFFF) {
      return std::nullopt;
    }
  }
  return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<Device> parse_lsusb_line(std::string_view line) {
  const size_t marker = line.find(" ID ");
  if (marker == std::string_view::npos) {
    return std::nullopt;
  }
  std::string_view rest = line.substr(marker + 4);
  const size_t space = rest.find(' ');
  std::string_view id_token = rest.substr(0, space);
  std::string_view product = space == std::string_view::npos ? std::string_view{} : rest.substr(space + 1);

  const size_t colon = id_token.find(':');
  if (colon == std::string_view::npos) {
    return std::nullopt;
  }
  auto vid = parse_hex16(id_token.substr(0, colon));
  auto pid = parse_hex16(id_token.substr(colon + 1));
  if (!vid || !pid || *vid == 0x1D6B) {
    return std::nullopt;
  }

  Device device;
  device.id = fmt::format("this-container:{}:{}", hex4_lower(*vid), hex4_lower(*pid));
  product = trim(product);
  device.name = product.empty() ? fmt::format("{}:{} device", hex4_upper(*vid), hex4_upper(*pid)) : std::string(product);
  device.vid = *vid;
  device.pid = *pid;
  device.device_class = "USB device";
  device.source_id = "this-container";
  device.source_label = "This cloud container";
  device.location = "cloud";
  device.mounted_on = "this-container";
  return device;
}

std::vector<Device> parse_lsusb_output(std::string_view text) {
  std::vector<Device> devices;
  while (!text.empty()) {
    const size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
    if (newline != std::string_view::npos && !line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (auto device = parse_lsusb_line(line)) {
      devices.push_back(std::move(*device));
    }
  }
  return devices;
}

std::vector<Device> scan_local_devices() {
  // Its standard error is never read: discarding it spares a pipe per scan.
  auto result = platform::run_program("lsusb", {}, platform::Stderr::discard);
  if (!result || !result->success()) {
    return {};
  }
  return parse_lsusb_output(platform::decode_utf8_lossy(result->out));
}

}  // namespace tavrix::devices
