#include "support/http_client.hpp"
#include "support/server.hpp"
#include "support/spawn.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace tavrix::test {
namespace {

using Json = nlohmann::json;

const std::vector<std::pair<std::string, std::string>> kJsonHeaders = {
    {"Content-Type", "application/json"},
    {"Cache-Control", "no-cache"},
    {"Content-Security-Policy", "frame-ancestors *"},
};

// The headers of the answer without those Beast adds itself.
std::vector<std::pair<std::string, std::string>> own_headers(const HttpReply& reply) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& h : reply.headers) {
    if (h.first != "Content-Length" && h.first != "Connection") out.push_back(h);
  }
  return out;
}

class ServerRoutes : public testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new Server(); }
  static void TearDownTestSuite() { delete server_; }
  static int port() { return server_->port(); }
  static Server* server_;
};
Server* ServerRoutes::server_ = nullptr;

TEST_F(ServerRoutes, PageAndIconAreTheStoredDocuments) {
  ASSERT_TRUE(server_->ready());
  HttpReply root = request(port(), "GET", "/");
  HttpReply index = request(port(), "GET", "/index.html?cache=1");
  EXPECT_EQ(root.status, 200);
  EXPECT_EQ(root.body, index.body);
  EXPECT_NE(root.body.find("<html"), std::string::npos);
  EXPECT_EQ(own_headers(root), (std::vector<std::pair<std::string, std::string>>{
                                   {"Content-Type", "text/html; charset=utf-8"},
                                   {"Cache-Control", "no-cache"},
                                   {"Content-Security-Policy", "frame-ancestors *"}}));
  HttpReply icon = request(port(), "GET", "/favicon.svg");
  EXPECT_EQ(icon.status, 200);
  EXPECT_EQ(own_headers(icon), (std::vector<std::pair<std::string, std::string>>{
                                   {"Content-Type", "image/svg+xml"}, {"Content-Security-Policy", "frame-ancestors *"}}));
  EXPECT_NE(icon.body.find("<svg"), std::string::npos);
}

TEST_F(ServerRoutes, JsonAnswersCarryTheThreeHeadersOnce) {
  for (const char* target : {"/health", "/state?x=1", "/console", "/nope"}) {
    SCOPED_TRACE(target);
    HttpReply reply = request(port(), "GET", target);
    EXPECT_EQ(own_headers(reply), kJsonHeaders);
    EXPECT_EQ(reply.count("Content-Type"), 1);
    EXPECT_TRUE(Json::accept(reply.body));
  }
}

TEST_F(ServerRoutes, UnknownEndpoints) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"GET", "/state/", "unknown endpoint: GET /state/"},
      {"GET", "/State", "unknown endpoint: GET /State"},
      {"PUT", "/state", "unknown endpoint: PUT /state"},
      {"GET", "/mount", "unknown endpoint: GET /mount"},
      {"GET", "/shutdown", "unknown endpoint: GET /shutdown"},
      {"DELETE", "/console?all=1", "unknown endpoint: DELETE /console"},
      {"FROB", "/state", "unknown endpoint: FROB /state"},
      {"POST", "/eval", "unknown endpoint: POST /eval"},
      {"GET", "/eval/pending", "unknown endpoint: GET /eval/pending"},
      {"POST", "/eval/ev1/result", "unknown endpoint: POST /eval/ev1/result"},
  };
  for (const auto& [method, target, error] : cases) {
    SCOPED_TRACE(std::string(method) + " " + target);
    HttpReply reply = request(port(), method, target);
    EXPECT_EQ(reply.status, 404);
    EXPECT_EQ(reply.body, Json({{"error", error}}).dump());
  }
  // HEAD is not routed either; its answer announces a body but sends none.
  int fd = connect_to(port());
  const std::string head = "HEAD / HTTP/1.1\r\nConnection: close\r\n\r\n";
  ASSERT_EQ(::send(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
  std::string raw;
  char buf[4096];
  for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;) raw.append(buf, static_cast<size_t>(n));
  ::close(fd);
  EXPECT_TRUE(raw.starts_with("HTTP/1.1 404 Not Found\r\n")) << raw;
  EXPECT_NE(raw.find("Content-Length: 36\r\n"), std::string::npos) << raw;
  EXPECT_TRUE(raw.ends_with("\r\n\r\n")) << raw;
}

TEST_F(ServerRoutes, BodiesThatCannotBeRead) {
  const std::string deep(100000, '[');
  struct Case {
    std::string body;
    std::string error_prefix;
  };
  const Case cases[] = {
      {"", "device_id required"},
      {"null", "device_id required"},
      {"[1,2]", "device_id required"},
      {R"({"device_id":7})", "device_id required"},
      {"   ", "parse JSON: "},
      {"{\"device_id\":\"x\"} trailing", "parse JSON: "},
      {"{not json", "parse JSON: "},
      {"\"\\ud800\"", "parse JSON: "},
      {deep, "parse JSON: "},
      {std::string("{\"device_id\":\"\xff\"}"), "read body: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body.substr(0, 40));
    HttpReply reply = request(port(), "POST", "/mount", c.body);
    EXPECT_EQ(reply.status, 400);
    const std::string error = Json::parse(reply.body)["error"];
    EXPECT_EQ(error.rfind(c.error_prefix, 0), 0u) << error;
  }
  // Nothing of that changed the server: it still answers, and logged nothing.
  EXPECT_EQ(Json::parse(request(port(), "GET", "/state").body)["actions"].size(), 0u);
}

TEST_F(ServerRoutes, DeepButAllowedNestingRoundTrips) {
  const std::string nested = std::string(500, '[') + std::string(500, ']');
  ASSERT_EQ(request(port(), "POST", "/console", nested).status, 200);
  Json messages = Json::parse(request(port(), "GET", "/console").body)["messages"];
  EXPECT_EQ(messages.back().dump(), nested);
}

TEST_F(ServerRoutes, OversizedBodyIsAReadFailureAndClosesTheConnection) {
  const std::string big(2 * 1024 * 1024, 'x');
  HttpReply reply = request(port(), "POST", "/console", big);
  EXPECT_EQ(reply.status, 400);
  EXPECT_EQ(Json::parse(reply.body)["error"].get<std::string>().rfind("read body: ", 0), 0u);
  EXPECT_EQ(request(port(), "GET", "/health").status, 200);
}

TEST_F(ServerRoutes, ExpectContinueGetsTheInterimAnswerFirst) {
  int fd = connect_to(port());
  ASSERT_GE(fd, 0);
  const std::string body = R"({"level":"log","msg":"after continue","ts":1})";
  const std::string head = "POST /console HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\n\r\n";
  ASSERT_EQ(::send(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
  HttpReply interim = read_reply(fd);
  EXPECT_EQ(interim.status, 100);
  ASSERT_EQ(::send(fd, body.data(), body.size(), 0), static_cast<ssize_t>(body.size()));
  HttpReply final_reply = read_reply(fd);
  EXPECT_EQ(final_reply.status, 200);
  ::close(fd);
  EXPECT_NE(request(port(), "GET", "/console").body.find("after continue"), std::string::npos);
}

TEST_F(ServerRoutes, CrossSitePostsAreRefusedBeforeTheirBodyIsRead) {
  const std::tuple<const char*, const char*, int> cases[] = {
      {"/shutdown", "cross-site", 403},
      {"/mount", "Cross-Site", 403},
      {"/eval", "cross-site", 403},
      {"/console", "same-origin", 200},
      {"/console", "none", 200},
  };
  for (const auto& [path, site, status] : cases) {
    SCOPED_TRACE(std::string(path) + " " + site);
    HttpReply reply = request(port(), "POST", path, "{}", {std::string("Sec-Fetch-Site: ") + site});
    EXPECT_EQ(reply.status, status);
    if (status == 403) {
      EXPECT_EQ(reply.body, R"({"error":"cross-site request refused"})");
    }
  }
  // GET stays readable from anywhere; the server is still up.
  EXPECT_EQ(request(port(), "GET", "/health", "", {"Sec-Fetch-Site: cross-site"}).status, 200);
}

TEST_F(ServerRoutes, MalformedRequestsGetA400AndOthersAreStillServed) {
  for (const char* raw : {"GARBAGE\r\n\r\n", "GET / HTTP/9.9\r\n\r\n", "GET / HTTP/1.1\r\nBad Header\r\n\r\n",
                          "POST /console HTTP/1.1\r\nContent-Length: -4\r\n\r\n"}) {
    SCOPED_TRACE(raw);
    EXPECT_EQ(send_raw(port(), raw).status, 400);
  }
  std::string huge_header = "GET /health HTTP/1.1\r\nX-Big: " + std::string(64 * 1024, 'a') + "\r\n\r\n";
  EXPECT_EQ(send_raw(port(), huge_header).status, 400);
  EXPECT_EQ(request(port(), "GET", "/health").status, 200);
}

TEST_F(ServerRoutes, KeepAliveServesSeveralRequestsOnOneConnection) {
  int fd = connect_to(port());
  ASSERT_GE(fd, 0);
  for (int i = 0; i < 3; ++i) {
    const std::string req = "GET /health HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_EQ(::send(fd, req.data(), req.size(), 0), static_cast<ssize_t>(req.size()));
    EXPECT_EQ(read_reply(fd).status, 200) << i;
  }
  ::close(fd);
}

TEST_F(ServerRoutes, IdleSlowAndVanishingClientsDoNotBlockOthers) {
  std::vector<int> idle;
  for (int i = 0; i < 300; ++i) {
    int fd = connect_to(port());
    if (fd >= 0) idle.push_back(fd);
  }
  // Half a request, a body promised but never sent, and a client that hangs up.
  int slow = connect_to(port());
  ::send(slow, "GET /hea", 8, 0);
  int stalled = connect_to(port());
  const std::string promise = "POST /console HTTP/1.1\r\nContent-Length: 100\r\n\r\n{\"a\":";
  ::send(stalled, promise.data(), promise.size(), 0);
  int gone = connect_to(port());
  const std::string half = "POST /console HTTP/1.1\r\nContent-Length: 100\r\n\r\n{";
  ::send(gone, half.data(), half.size(), 0);
  ::close(gone);

  EXPECT_EQ(request(port(), "GET", "/health").status, 200);
  EXPECT_EQ(request(port(), "POST", "/console", "\"still here\"").status, 200);
  for (int fd : idle) ::close(fd);
  ::close(slow);
  ::close(stalled);
  EXPECT_EQ(request(port(), "GET", "/health").status, 200);
}

TEST(ServerChildren, InheritNoSocketOfTheServer) {
  // An lsusb that records which of its descriptors are sockets: the listening
  // one and the client's connection must not leak into it.
  TempDir tools;
  const std::string report = (tools.path() / "fds").string();
  tools.write("lsusb", "#!/bin/sh\nfor f in /proc/$$/fd/*; do readlink \"$f\"; done | grep -c socket > " + report + "\n",
              true);
  Server server({.env = {{"PATH", tools.path().string() + ":/usr/bin:/bin"}}});
  ASSERT_TRUE(server.ready());
  ASSERT_EQ(request(server.port(), "GET", "/state").status, 200);
  EXPECT_EQ(read_file(report), "0\n");
}

TEST(ServerStartup, LinesAndBindFailure) {
  Server first;
  ASSERT_TRUE(first.ready());
  EXPECT_EQ(first.out(), "OK: tavrix-usb dashboard starting on port " + std::to_string(first.port()) +
                             "\n  demo mode: seeding a representative cross-ecosystem device set\n"
                             "  Press ctrl-c or POST /shutdown to stop.\n");

  // A second server on the same port fails after its first two lines and opens no tab.
  TempDir dir;
  RunResult second = run_tavrix({.args = {"app", "--port", std::to_string(first.port())},
                                 .env = {{"PATH", path_with(doubles_dir())},
                                         {"TAVRIX_FAKE_CLI_LOG", (dir.path() / "log").string()}}});
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.out, "OK: tavrix-usb dashboard starting on port " + std::to_string(first.port()) +
                            "\n  live mode: real lsusb on this container + registered agents only\n");
  EXPECT_EQ(second.err, "ERROR: bind 0.0.0.0:" + std::to_string(first.port()) +
                            ": Address already in use (os error 98)\n");
  EXPECT_EQ(read_file(dir.path() / "log"), "");
}

TEST(ServerShutdown, AnswersThenExitsWithStatus0) {
  Server server;
  ASSERT_TRUE(server.ready());
  HttpReply reply = request(server.port(), "POST", "/shutdown", "not even json");
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body, R"({"ok":true,"shutdown":true})");
  EXPECT_EQ(server.wait_exit(), 0);
  EXPECT_TRUE(server.out().ends_with("OK: shutdown requested, exiting\n"));
  EXPECT_EQ(read_file(server.dir().path() / "tavrix-cli.log"), "");  // --no-tab: workspace untouched
}

}  // namespace
}  // namespace tavrix::test
