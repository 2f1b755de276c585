#include "support/spawn.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tavrix::test {
namespace {

using Json = nlohmann::json;

// Runs `list` with the stand-in lsusb printing `listing` and exiting `status`.
RunResult list_with_lsusb(const std::string& listing, int status = 0, std::vector<std::string> args = {"list"}) {
  TempDir dir;
  auto file = dir.write("listing", listing);
  return run_tavrix({.args = args,
                     .env = {{"PATH", path_with(doubles_dir())},
                             {"TAVRIX_FAKE_LSUSB", file.string()},
                             {"TAVRIX_FAKE_LSUSB_EXIT", std::to_string(status)}}});
}

TEST(List, DemoDocumentIsPrettyPrinted) {
  RunResult r = run_tavrix({.args = {"list", "--demo"}, .env = {{"PATH", "/nonexistent"}}});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.rfind("{\n  \"counts\": {\n    \"cloud\": 2,\n    \"local\": 3,\n    \"mounted\": 2,\n"
                        "    \"total\": 5\n  },\n  \"demo\": true,\n  \"devices\": [\n    {\n      \"bus_id\": \"2-4\",",
                        0),
            0u);
  EXPECT_EQ(r.out.substr(r.out.size() - 3), "\n}\n");
  EXPECT_NE(r.out.find("\"sniff\": false"), std::string::npos);
  EXPECT_NE(r.out.find("\"Deferred in v1 — mounting"), std::string::npos);  // UTF-8 written as is
  Json doc = Json::parse(r.out);
  EXPECT_EQ(doc["devices"].size(), 5u);
  EXPECT_EQ(doc["hosts"].size(), 6u);
}

TEST(List, WithoutLsusbTheInventoryIsEmpty) {
  RunResult r = run_tavrix({.args = {"list"}, .env = {{"PATH", "/nonexistent"}}});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("{\n  \"counts\": {\n    \"cloud\": 0,\n    \"local\": 0,\n    \"mounted\": 0,\n"
                        "    \"total\": 0\n  },\n  \"demo\": false,\n  \"devices\": [],\n  \"hosts\": [\n",
                        0),
            0u);
}

TEST(List, LiveDevicesComeFromLsusb) {
  RunResult r = list_with_lsusb(
      "Bus 001 Device 001: ID 1d6b:0002 Linux Foundation 2.0 root hub\n"
      "Bus 002 Device 003: ID 0483:374b STMicroelectronics ST-LINK/V2.1\r\n"
      "Bus 001 Device 004: ID 2E8A:0003",
      0, {"list", "--demo"});
  ASSERT_EQ(r.status, 0);
  Json doc = Json::parse(r.out);
  ASSERT_EQ(doc["devices"].size(), 7u);
  EXPECT_EQ(doc["devices"][0]["id"], "this-container:0483:374b");
  EXPECT_EQ(doc["devices"][0]["name"], "STMicroelectronics ST-LINK/V2.1");
  EXPECT_EQ(doc["devices"][1]["name"], "2E8A:0003 device");
  EXPECT_EQ(doc["devices"][2]["id"], "laptop:2e8a:0003");
  EXPECT_EQ(doc["counts"], (Json{{"cloud", 4}, {"local", 3}, {"mounted", 4}, {"total", 7}}));
}

TEST(List, FailingOrGarbledLsusbStillGivesAValidDocument) {
  std::string many;
  for (int i = 0; i < 5000; ++i) many += "Bus 001 Device 002: ID 0001:0002 Widget\n";
  struct Case {
    const char* what;
    std::string listing;
    int status;
    size_t devices;
  };
  const Case cases[] = {
      {"exit 1", "Bus 001 Device 002: ID 0001:0002 Widget\n", 1, 0},
      {"killed", "Bus 001 Device 002: ID 0001:0002 Widget\n", 137, 0},
      {"binary noise", std::string("\xff\xfe\0\0\x1b[2J\x80\n\n\0", 11), 0, 0},
      {"invalid utf-8 and NUL in names", std::string("Bus 1 Device 2: ID 0001:0002 Bad\xff\xc3 N\0L\x1b[1m\n", 44), 0,
       1},
      {"very long line", "Bus 1 Device 2: ID 0001:0002 " + std::string(1 << 20, 'x') + "\n", 0, 1},
      {"thousands of lines", many, 0, 5000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunResult r = list_with_lsusb(c.listing, c.status);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    Json doc = Json::parse(r.out);  // throws, and fails the test, on invalid JSON or UTF-8
    EXPECT_EQ(doc["devices"].size(), c.devices);
  }
  RunResult bad = list_with_lsusb(std::string("Bus 1 Device 2: ID 0001:0002 Bad\xff\xc3 N\0L\x1b[1m\n", 44));
  EXPECT_EQ(Json::parse(bad.out)["devices"][0]["name"], std::string("Bad\xef\xbf\xbd\xef\xbf\xbd N\0L\x1b[1m", 17));
}

TEST(List, SameBytesOnATerminalAndThroughAPipe) {
  RunResult piped = run_tavrix({.args = {"list", "--demo"}, .env = {{"PATH", "/nonexistent"}}});
  RunResult tty = run_tavrix({.args = {"list", "--demo"}, .env = {{"PATH", "/nonexistent"}}, .stdout_tty = true});
  EXPECT_EQ(piped.out, tty.out);
}

TEST(List, NotExecutableLsusbCountsAsMissing) {
  TempDir dir;
  dir.write("lsusb", "Bus 1 Device 2: ID 0001:0002 x\n", false);
  RunResult r = run_tavrix({.args = {"list"}, .env = {{"PATH", dir.path().string()}}});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(Json::parse(r.out)["devices"].size(), 0u);
}

}  // namespace
}  // namespace tavrix::test
