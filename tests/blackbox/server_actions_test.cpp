#include "support/http_client.hpp"
#include "support/server.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <thread>

namespace tavrix::test {
namespace {

using Json = nlohmann::json;

Json get_json(int port, const std::string& target) { return Json::parse(request(port, "GET", target).body); }

std::pair<int, Json> post_json(int port, const std::string& path, const Json& body) {
  HttpReply reply = request(port, "POST", path, body.dump());
  return {reply.status, Json::parse(reply.body)};
}

Json device(const Json& state, const std::string& id) {
  for (const Json& d : state["devices"]) {
    if (d["id"] == id) return d;
  }
  return nullptr;
}

// Sleeps past a millisecond boundary so a new state_ts is told apart.
void tick() { std::this_thread::sleep_for(std::chrono::milliseconds(3)); }

TEST(DeviceActions, RefusalsInCheckOrderChangeNothing) {
  Server server({.lsusb_listing = "Bus 001 Device 002: ID 0001:0002 Widget\n"});
  ASSERT_TRUE(server.ready());
  const int port = server.port();
  const Json before = get_json(port, "/state");
  const std::string laptop_reason =
      "Deferred in v1 — mounting a remote device into native Windows needs the test-signed usbip-win client driver.";
  const std::string linux_reason = "Mount to a Linux target to reset / test / force-class / sniff.";
  struct Case {
    const char* path;
    Json body;
    int status;
    Json answer;
  };
  const Case cases[] = {
      {"/mount", Json::object(), 400, {{"error", "device_id required"}}},
      {"/mount", {{"target_id", "laptop-wsl2"}}, 400, {{"error", "device_id required"}}},
      {"/mount", {{"device_id", 5}, {"target_id", "x"}}, 400, {{"error", "device_id required"}}},
      {"/mount", {{"device_id", "laptop:2e8a:0003"}}, 400, {{"error", "target_id required"}}},
      {"/mount", {{"device_id", "laptop:ffff:0001"}, {"target_id", 1}}, 400, {{"error", "target_id required"}}},
      {"/mount", {{"device_id", "laptop:ffff:0001"}, {"target_id", "x"}}, 404,
       {{"error", "unknown device: laptop:ffff:0001"}}},
      {"/mount", {{"device_id", "laptop:2e8a:0003"}, {"target_id", "workcell-rpi-001"}}, 400,
       {{"error", "laptop:2e8a:0003 cannot be mounted on workcell-rpi-001 (not in routing matrix)"}}},
      {"/mount", {{"device_id", "laptop:2e8a:0003"}, {"target_id", "azure-vm"}}, 409,
       {{"blocked", true}, {"error", laptop_reason}}},
      {"/unmount", {{"device_id", "laptop:2e8a:0003"}}, 409, {{"error", "device is not mounted"}}},
      {"/unmount", {{"device_id", "nope"}}, 404, {{"error", "unknown device: nope"}}},
      {"/reset", {{"device_id", "laptop:2e8a:0003"}}, 409, {{"blocked", true}, {"error", linux_reason}}},
      {"/test", {{"device_id", "azure-vm:0403:6010"}}, 409, {{"blocked", true}, {"error", linux_reason}}},
      {"/class-override", {{"device_id", "laptop:10c4:ea60"}}, 409, {{"blocked", true}, {"error", linux_reason}}},
      {"/sniff", Json::array(), 400, {{"error", "device_id required"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + c.body.dump());
    auto [status, answer] = post_json(port, c.path, c.body);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(answer, c.answer);
  }
  const Json after = get_json(port, "/state");
  EXPECT_EQ(after["state_ts"], before["state_ts"]);
  EXPECT_EQ(after["devices"], before["devices"]);
  EXPECT_EQ(after["actions"].size(), 0u);
}

TEST(DeviceActions, MountUnmountAndOperationsAreAppliedAndLogged) {
  Server server({.lsusb_listing = "Bus 001 Device 002: ID 0001:0002 Widget\n"});
  ASSERT_TRUE(server.ready());
  const int port = server.port();
  const Json start = get_json(port, "/state");
  EXPECT_EQ(start["actions"], Json::array());
  EXPECT_EQ(start["dev"], false);
  tick();

  auto [status, answer] = post_json(port, "/mount", {{"device_id", "laptop:2e8a:0003"}, {"target_id", "laptop-wsl2"}});
  EXPECT_EQ(status, 200);
  EXPECT_EQ(answer.dump(),
            R"({"command":"[laptop] usbipd bind --busid 2-4 && usbipd attach --wsl --busid 2-4",)"
            R"("device_id":"laptop:2e8a:0003","mechanism":"usbipd-attach-wsl","mounted_on":"laptop-wsl2","ok":true})");
  Json state = get_json(port, "/state");
  EXPECT_GT(state["state_ts"], start["state_ts"]);
  Json rp2040 = device(state, "laptop:2e8a:0003");
  EXPECT_EQ(rp2040["mounted_on"], "laptop-wsl2");
  EXPECT_EQ(rp2040["capabilities"]["reset"], true);
  const Json& entry = state["actions"][0];
  EXPECT_EQ(entry["op"], "mount");
  EXPECT_EQ(entry["status"], "applied");
  EXPECT_EQ(entry["mechanism"], "usbipd-attach-wsl");
  EXPECT_EQ(entry["device"], "Raspberry Pi RP2040 (BOOTSEL)");
  EXPECT_EQ(entry.size(), 8u);

  // Operations act where the device now sits and leave its mount alone.
  auto [reset_status, reset] = post_json(port, "/class-override", {{"device_id", "laptop:2e8a:0003"}});
  EXPECT_EQ(reset_status, 200);
  EXPECT_EQ(reset, (Json{{"command", "[laptop-wsl2] echo <driver> > driver_override ; rebind 2E8A:0003"},
                         {"device_id", "laptop:2e8a:0003"},
                         {"ok", true},
                         {"op", "class_override"},
                         {"status", "queued"}}));
  auto [live_status, live_reset] = post_json(port, "/reset", {{"device_id", "this-container:0001:0002"}});
  EXPECT_EQ(live_status, 200);
  state = get_json(port, "/state");
  EXPECT_EQ(device(state, "laptop:2e8a:0003")["mounted_on"], "laptop-wsl2");
  EXPECT_EQ(state["actions"][0]["target"], "this-container");
  EXPECT_EQ(state["actions"][0]["status"], "queued");
  EXPECT_EQ(state["actions"][0].size(), 7u);
  EXPECT_EQ(state["actions"][1]["op"], "class_override");

  // A device can be mounted again elsewhere, and on its own host natively.
  EXPECT_EQ(post_json(port, "/mount", {{"device_id", "laptop:2e8a:0003"}, {"target_id", "laptop"}}).second["mechanism"],
            "native");

  // Unmount works for a device at home by default, and only once.
  auto [un_status, un] = post_json(port, "/unmount", {{"device_id", "this-container:0001:0002"}});
  EXPECT_EQ(un_status, 200);
  EXPECT_EQ(un.size(), 3u);
  EXPECT_EQ(device(get_json(port, "/state"), "this-container:0001:0002")["mounted_on"], nullptr);
  EXPECT_EQ(post_json(port, "/unmount", {{"device_id", "this-container:0001:0002"}}).first, 409);
  const Json unmount_entry = get_json(port, "/state")["actions"][0];
  EXPECT_EQ(unmount_entry["target"], "this-container");
  EXPECT_FALSE(unmount_entry.contains("mechanism"));
}

TEST(ActionLog, KeepsTheNewestHundredAndShowsTwenty) {
  Server server;
  ASSERT_TRUE(server.ready());
  for (int i = 0; i < 101; ++i) {
    const char* target = i % 2 ? "laptop-wsl2" : "this-container";
    ASSERT_EQ(post_json(server.port(), "/mount", {{"device_id", "laptop:10c4:ea60"}, {"target_id", target}}).first, 200);
  }
  Json actions = get_json(server.port(), "/state")["actions"];
  ASSERT_EQ(actions.size(), 20u);
  EXPECT_EQ(actions[0]["target"], "this-container");  // the 101st, newest first
  EXPECT_EQ(actions[1]["target"], "laptop-wsl2");
  for (size_t i = 1; i < actions.size(); ++i) EXPECT_GE(actions[i - 1]["ts"], actions[i]["ts"]);
}

TEST(Console, StoresBodiesAsSentAndKeepsTheNewest500) {
  Server server;
  ASSERT_TRUE(server.ready());
  const int port = server.port();
  const auto ts = get_json(port, "/state")["state_ts"];
  tick();
  EXPECT_EQ(request(port, "POST", "/console", "").body, R"({"ok":true})");
  request(port, "POST", "/console", R"(["a",1])");
  request(port, "POST", "/console", R"({"level":"warn","msg":"m","ts":5})");
  EXPECT_EQ(request(port, "POST", "/console", "{oops").status, 400);
  const std::string expected = R"({"messages":[null,["a",1],{"level":"warn","msg":"m","ts":5}]})";
  EXPECT_EQ(request(port, "GET", "/console").body, expected);
  EXPECT_EQ(request(port, "GET", "/console").body, expected);  // reading removes nothing
  EXPECT_EQ(get_json(port, "/state")["state_ts"], ts);

  for (int i = 0; i < 500; ++i) request(port, "POST", "/console", std::to_string(i));
  Json messages = get_json(port, "/console")["messages"];
  ASSERT_EQ(messages.size(), 500u);
  EXPECT_EQ(messages.front(), 0);
  EXPECT_EQ(messages.back(), 499);
}

TEST(SnapshotRoutes, HealthAndRefresh) {
  Server server({.lsusb_listing = "Bus 001 Device 002: ID 0001:0002 Widget\n"});
  ASSERT_TRUE(server.ready());
  const int port = server.port();
  EXPECT_EQ(request(port, "GET", "/health").body, R"({"demo":true,"devices":6,"ok":true,"version":"0.1.0"})");
  const Json before = get_json(port, "/state");
  tick();
  HttpReply refreshed = request(port, "POST", "/refresh", "{broken");
  EXPECT_EQ(refreshed.status, 200);
  Json doc = Json::parse(refreshed.body);
  EXPECT_FALSE(doc.contains("actions") || doc.contains("dev") || doc.contains("state_ts"));
  EXPECT_EQ(doc["counts"]["total"], 6);
  EXPECT_GT(get_json(port, "/state")["state_ts"], before["state_ts"]);
  EXPECT_EQ(request(port, "GET", "/state").body.rfind(R"({"actions":[],"counts":)", 0), 0u);
}

TEST(EvalQueue, HandsOverOneJobAtATimeWithDev) {
  Server server({.args = {"--dev"}});
  ASSERT_TRUE(server.ready());
  const int port = server.port();
  const auto ts = get_json(port, "/state")["state_ts"];
  EXPECT_EQ(get_json(port, "/state")["dev"], true);
  EXPECT_EQ(request(port, "GET", "/eval/pending").body, "{}");
  Json first = post_json(port, "/eval", {{"code", "1+1"}}).second;
  Json second = Json::parse(request(port, "POST", "/eval", "").body);
  const std::string id = second["id"];
  ASSERT_TRUE(id.starts_with("ev"));
  EXPECT_EQ(id.find_first_not_of("0123456789", 2), std::string::npos);
  EXPECT_NE(first["id"], second["id"]);
  EXPECT_EQ(get_json(port, "/eval/pending"), (Json{{"code", ""}, {"id", id}}));
  EXPECT_EQ(request(port, "GET", "/eval/pending").body, "{}");

  for (const char* path : {"/eval/ev1/result", "/eval//result", "/eval/eval/x/result/result"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(request(port, "POST", path, R"({"result":{"v":1}})").body, R"({"ok":true})");
  }
  EXPECT_EQ(request(port, "POST", "/eval/ev1/result", "").status, 200);
  EXPECT_EQ(request(port, "POST", "/eval/ev1/result", "nope").status, 400);
  EXPECT_EQ(request(port, "GET", "/eval/ev1/result").status, 404);
  EXPECT_EQ(get_json(port, "/state")["state_ts"], ts);
}

}  // namespace
}  // namespace tavrix::test
