#include "devices/discovery.hpp"

#include <gtest/gtest.h>

namespace tavrix::devices {
namespace {

struct LineCase {
  const char* line;
  const char* id;  // nullptr: the line yields no device
  const char* name;
  std::uint16_t vid;
  std::uint16_t pid;
};

TEST(ParseLsusbLine, ReadsTheListingFormat) {
  const LineCase cases[] = {
      {"Bus 002 Device 003: ID 0483:374b STMicroelectronics ST-LINK/V2.1", "this-container:0483:374b",
       "STMicroelectronics ST-LINK/V2.1", 0x0483, 0x374B},
      {"Bus 001 Device 004: ID 2E8A:0003", "this-container:2e8a:0003", "2E8A:0003 device", 0x2E8A, 0x0003},
      {"Bus 001 Device 004: ID 2e8a:0003    ", "this-container:2e8a:0003", "2E8A:0003 device", 0x2E8A, 3},
      {"Bus 001 Device 004: ID 2e8a:0003   Pico  ", "this-container:2e8a:0003", "Pico", 0x2E8A, 3},
      {"Bus 001 Device 007: ID +1:00ffff x", "this-container:0001:ffff", "x", 1, 0xFFFF},
      {"Bus 001 Device 008: ID 05e3:0610 Genesys Logic Hub", "this-container:05e3:0610", "Genesys Logic Hub", 0x05E3,
       0x0610},
      {"x ID 0a12:0001 Caf\xc3\xa9 \xe2\x86\x92", "this-container:0a12:0001", "Caf\xc3\xa9 \xe2\x86\x92", 0x0A12, 1},
      // Root hubs are skipped, and so is anything that does not parse.
      {"Bus 001 Device 001: ID 1d6b:0002 Linux Foundation 2.0 root hub", nullptr, "", 0, 0},
      {"Bus 001 Device 001: ID 1D6B:0003 Linux Foundation 3.0 root hub", nullptr, "", 0, 0},
      {"ID 2e8a:0003 at the very start", nullptr, "", 0, 0},
      {"Bus 001 Device 004: ID 2e8a0003 no colon", nullptr, "", 0, 0},
      {"Bus 001 Device 005: ID zz12:0001 x", nullptr, "", 0, 0},
      {"Bus 001 Device 006: ID  2e8a:0003 x", nullptr, "", 0, 0},
      {"Bus 001 Device 006: ID 12345:0003 x", nullptr, "", 0, 0},
      {"Bus 001 Device 006: ID 2e8a: x", nullptr, "", 0, 0},
      {"Bus 001 Device 006: ID 2e8a:-3 x", nullptr, "", 0, 0},
      {"Bus 001 Device 006: ID 2e8a:++3 x", nullptr, "", 0, 0},
      {"Bus 001 Device 006: id 2e8a:0003 x", nullptr, "", 0, 0},
      {"", nullptr, "", 0, 0},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.line);
    auto device = parse_lsusb_line(c.line);
    if (c.id == nullptr) {
      EXPECT_FALSE(device.has_value());
      continue;
    }
    ASSERT_TRUE(device.has_value());
    EXPECT_EQ(device->id, c.id);
    EXPECT_EQ(device->name, c.name);
    EXPECT_EQ(device->vid, c.vid);
    EXPECT_EQ(device->pid, c.pid);
  }
}

TEST(ParseLsusbLine, LiveDevicesSitAtHomeInThisContainer) {
  auto device = parse_lsusb_line("Bus 002 Device 003: ID 0483:374b ST-LINK");
  ASSERT_TRUE(device.has_value());
  EXPECT_EQ(device->device_class, "USB device");
  EXPECT_EQ(device->source_id, "this-container");
  EXPECT_EQ(device->source_label, "This cloud container");
  EXPECT_EQ(device->location, "cloud");
  EXPECT_EQ(device->mounted_on, "this-container");
  EXPECT_FALSE(device->serial.has_value());
  EXPECT_FALSE(device->bus_id.has_value());
  EXPECT_FALSE(device->demo);
}

TEST(ParseLsusbOutput, SplitsLinesLikeTheListingMeansThem) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {}},
      {"Bus 1 Device 2: ID 0001:0002 a\nBus 1 Device 3: ID 0001:0003 b\n", {"a", "b"}},
      {"Bus 1 Device 2: ID 0001:0002 a\r\nBus 1 Device 3: ID 0001:0003 b\r\n", {"a", "b"}},
      {"Bus 1 Device 2: ID 0001:0002 a\nBus 1 Device 3: ID 0001:0003 b", {"a", "b"}},
      // A bad line spoils nothing around it; duplicates stay, in order.
      {"garbage\nBus 1 Device 2: ID 0001:0002 a\n\nBus 1 Device 4: ID 0001:0002 a2\n", {"a", "a2"}},
  };
  for (const auto& [text, names] : cases) {
    SCOPED_TRACE(text);
    std::vector<std::string> got;
    for (const Device& d : parse_lsusb_output(text)) got.push_back(d.name);
    EXPECT_EQ(got, names);
  }
}

}  // namespace
}  // namespace tavrix::devices
