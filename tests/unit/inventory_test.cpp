#include "devices/catalogue.hpp"
#include "devices/discovery.hpp"
#include "devices/records.hpp"

#include <gtest/gtest.h>

namespace tavrix::devices {
namespace {

// The keys of an object in the order its text writes them (ordered_json keeps
// the order of the text it parses).
std::vector<std::string> written_keys(const Json& object) {
  const nlohmann::ordered_json reread = nlohmann::ordered_json::parse(object.dump());
  std::vector<std::string> keys;
  for (const auto& item : reread.items()) keys.push_back(item.key());
  return keys;
}

Device live(const char* line) { return *parse_lsusb_line(line); }

TEST(Inventory, MembersAreWrittenInByteOrder) {
  const Json doc = assemble_inventory(true, {}, {});
  const std::string text = doc.dump();
  // Checked on the raw text: counts first, hosts last, and so on inside.
  EXPECT_EQ(text.rfind("{\"counts\":{\"cloud\":2,\"local\":3,\"mounted\":2,\"total\":5},\"demo\":true,\"devices\":[", 0),
            0u);
  EXPECT_NE(text.find("{\"agent_online\":true,\"can_consume\":true,\"id\":\"laptop\",\"kind\":\"laptop\",\"label\":"
                      "\"Pelloran's laptop (Windows)\",\"linux\":false,\"location\":\"local\",\"os\":\"windows\"}"),
            std::string::npos);
  EXPECT_EQ(written_keys(doc["devices"][0]),
            (std::vector<std::string>{"bus_id", "capabilities", "class", "demo", "exportable", "id", "location",
                                      "mounted_on", "name", "pid", "pid_hex", "serial", "source_id", "source_label",
                                      "targets", "vid", "vid_hex"}));
  EXPECT_EQ(written_keys(doc["devices"][0]["targets"][0]),
            (std::vector<std::string>{"blocked_reason", "host_id", "label", "mechanism"}));
}

TEST(Inventory, DemoSetAndCatalogue) {
  const Json doc = assemble_inventory(true, {}, {});
  std::vector<std::string> ids;
  for (const Json& d : doc["devices"]) ids.push_back(d["id"]);
  EXPECT_EQ(ids, (std::vector<std::string>{"laptop:2e8a:0003", "laptop:0483:374b", "laptop:10c4:ea60",
                                           "workcell-rpi-001:1a86:7523", "azure-vm:0403:6010"}));
  const Json& rp2040 = doc["devices"][0];
  EXPECT_EQ(rp2040["vid"], 11914);
  EXPECT_EQ(rp2040["pid"], 3);
  EXPECT_EQ(rp2040["vid_hex"], "2E8A");
  EXPECT_EQ(rp2040["pid_hex"], "0003");
  EXPECT_TRUE(doc["devices"][3]["serial"].is_null());  // the CH340 has none, but the member is there
  ASSERT_EQ(doc["hosts"].size(), 6u);
  for (const Json& host : doc["hosts"]) EXPECT_TRUE(host["agent_online"]) << host["id"];

  const Json live_doc = assemble_inventory(false, {}, {});
  EXPECT_EQ(live_doc.dump().substr(0, 89),
            R"({"counts":{"cloud":0,"local":0,"mounted":0,"total":0},"demo":false,"devices":[],"hosts":[)");
  for (const Json& host : live_doc["hosts"]) {
    EXPECT_EQ(host["agent_online"], host["id"] == "this-container") << host["id"];
  }
}

TEST(Inventory, LiveDevicesComeFirstAndCountAsMountedCloud) {
  const Json doc = assemble_inventory(true, {live("Bus 1 Device 2: ID 0483:374b ST-LINK")}, {});
  EXPECT_EQ(doc["devices"][0]["id"], "this-container:0483:374b");
  EXPECT_EQ(doc["devices"][1]["id"], "laptop:2e8a:0003");
  EXPECT_EQ(doc["counts"], (Json{{"cloud", 3}, {"local", 3}, {"mounted", 3}, {"total", 6}}));
  const Json& view = doc["devices"][0];
  EXPECT_FALSE(view["exportable"]);
  EXPECT_EQ(view["targets"].size(), 1u);
  EXPECT_EQ(view["targets"][0]["label"], "This cloud container (native)");
}

TEST(Inventory, MountOverrides) {
  const std::vector<Device> two_same = {live("Bus 1 Device 2: ID 0001:0002 a"), live("Bus 1 Device 3: ID 0001:0002 b")};
  const MountOverrides overrides = {
      {"laptop:0483:374b", std::nullopt},
      {"laptop:2e8a:0003", "this-container"},
      {"this-container:0001:0002", std::nullopt},
      {"no-such:0000:0000", "laptop"},
  };
  const Json doc = assemble_inventory(true, two_same, overrides);
  auto mounted_on = [&](size_t i) { return doc["devices"][i]["mounted_on"]; };
  EXPECT_TRUE(mounted_on(0).is_null());  // every device of an id gets the override
  EXPECT_TRUE(mounted_on(1).is_null());
  EXPECT_EQ(mounted_on(2), "this-container");
  EXPECT_TRUE(mounted_on(3).is_null());
  EXPECT_EQ(doc["counts"]["mounted"], 2);  // RP2040 and CH340
  EXPECT_EQ(doc["counts"]["total"], 7);
  // Targets do not depend on where a device is mounted.
  EXPECT_EQ(doc["devices"][2]["targets"], assemble_inventory(true, {}, {})["devices"][0]["targets"]);

  // In live mode an override for a demo id finds nothing to change.
  EXPECT_EQ(assemble_inventory(false, {}, overrides)["devices"].size(), 0u);
}

TEST(FindDevice, FirstMatchByExactStringId) {
  const Json doc = {{"devices", Json::array({Json{{"name", "no id"}}, Json{{"id", 7}}, Json{{"id", "a"}, {"n", 1}},
                                             Json{{"id", "a"}, {"n", 2}}, Json("junk")})}};
  auto found = find_device(doc, "a");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ((*found)["n"], 1);
  EXPECT_FALSE(find_device(doc, "A").has_value());
  EXPECT_FALSE(find_device(Json{{"devices", "not an array"}}, "a").has_value());
  EXPECT_FALSE(find_device(Json::array(), "a").has_value());
}

}  // namespace
}  // namespace tavrix::devices
