#include "support/http_client.hpp"
#include "support/server.hpp"

#include <gtest/gtest.h>

namespace tavrix::test {
namespace {

// The argument words of each tavrix-cli run, as the stand-in recorded them.
std::vector<std::vector<std::string>> cli_runs(const Server& server) {
  std::vector<std::vector<std::string>> runs(1);
  std::string log = read_file(server.dir().path() / "tavrix-cli.log");
  size_t pos = 0;
  while (pos < log.size()) {
    size_t eol = log.find('\n', pos);
    std::string word = log.substr(pos, eol - pos);
    pos = eol + 1;
    if (word == "--end--") runs.emplace_back();
    else runs.back().push_back(word);
  }
  runs.pop_back();
  return runs;
}

class WorkspaceTab : public testing::Test {
 protected:
  // The stand-in reads the workspace from a file; write it before the start.
  std::unique_ptr<Server> start(const std::string& workspace, std::map<std::string, std::optional<std::string>> env = {}) {
    auto file = dir_.write("workspace.json", workspace);
    env["TAVRIX_FAKE_WORKSPACE"] = file.string();
    ServerOptions options{.args = {"--demo", "--tab-name", "My Tab"}, .no_tab = false};
    options.env = std::move(env);
    auto server = std::make_unique<Server>(options);
    EXPECT_TRUE(server->ready());
    return server;
  }
  TempDir dir_;
};

TEST_F(WorkspaceTab, OpensInAFreeLeafAndClosesAtShutdown) {
  auto server = start(R"({"focusedPanelId":"focus","root":{"children":[)"
                      R"({"type":"leaf","id":"busy","tabs":[{"panelType":"x-0030-4000-y"}]},)"
                      R"({"type":"leaf","id":"free","tabs":[]}]}})");
  const std::string url = "http://127.0.0.1:" + std::to_string(server->port()) + "/";
  auto runs = cli_runs(*server);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], (std::vector<std::string>{"orvane", "workspace", "get"}));
  ASSERT_EQ(runs[1].size(), 13u);
  EXPECT_EQ(std::vector<std::string>(runs[1].begin(), runs[1].begin() + 9),
            (std::vector<std::string>{"orvane", "workspace", "add-tab", "--panel-id", "free", "--panel-type",
                                      "tavrix/a1b2c3d4-0031-4000-a000-000000000031", "--display-name", "My Tab"}));
  EXPECT_EQ(runs[1][9], "--display-icon");
  EXPECT_TRUE(runs[1][10].starts_with("data:image/svg+xml;base64,PHN2Zy"));
  EXPECT_EQ(runs[1][11], "--initial-state");
  EXPECT_EQ(runs[1][12], "{\"url\":\"" + url + "\"}");
  EXPECT_NE(server->out().find("OK: opened Orvane tab 'My Tab' → " + url + "\n  Press ctrl-c"), std::string::npos);

  EXPECT_EQ(request(server->port(), "POST", "/shutdown").status, 200);
  EXPECT_EQ(server->wait_exit(), 0);
  runs = cli_runs(*server);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[2], (std::vector<std::string>{"orvane", "workspace", "remove-tab", "--name", "My Tab"}));
}

TEST_F(WorkspaceTab, FailuresAreWarningsAndTheServerStillServes) {
  struct Case {
    std::string workspace;
    std::map<std::string, std::optional<std::string>> env;
    std::string warning;  // after "WARN: couldn't open tab: "
    size_t runs;
  };
  const Case cases[] = {
      {"{}", {{"TAVRIX_FAKE_CLI_FAIL", "get"}}, "tavrix-cli workspace get failed: failed: get", 1},
      {"{}", {{"TAVRIX_FAKE_CLI_FAIL", "add-tab"}}, "no panels found in workspace",
       1},
      {R"({"focusedPanelId":"f"})", {{"TAVRIX_FAKE_CLI_FAIL", "add-tab"}}, "tavrix-cli add-tab failed: failed: add-tab",
       2},
      {"not json", {}, "parse workspace JSON: ", 1},
      {"{}", {{"PATH", "/nonexistent"}}, "tavrix-cli workspace get: No such file or directory (os error 2)", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.warning);
    auto server = start(c.workspace, c.env);
    EXPECT_EQ(cli_runs(*server).size(), c.runs);
    const std::string err = server->err();
    EXPECT_TRUE(err.starts_with("WARN: couldn't open tab: " + c.warning)) << err;
    EXPECT_TRUE(err.ends_with(". Manually: http://127.0.0.1:" + std::to_string(server->port()) + "/\n")) << err;
    EXPECT_EQ(request(server->port(), "GET", "/health").status, 200);
  }
}

TEST_F(WorkspaceTab, ProxyAddressNamesThePort) {
  auto server = start(R"({"focusedPanelId":"f"})", {{"VSCODE_PROXY_URI", "https://h/proxy/{{port}}/x{{port}}"}});
  const std::string port = std::to_string(server->port());
  auto runs = cli_runs(*server);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1][12], "{\"url\":\"https://h/proxy/" + port + "/x" + port + "\"}");
}

}  // namespace
}  // namespace tavrix::test
