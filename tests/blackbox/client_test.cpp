#include "support/http_client.hpp"
#include "support/server.hpp"
#include "support/spawn.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace tavrix::test {
namespace {

RunResult client(std::vector<std::string> args, int port, bool stdout_tty = false, bool stderr_tty = false) {
  args.push_back("--port");
  args.push_back(std::to_string(port));
  return run_tavrix({.args = args, .stdout_tty = stdout_tty, .stderr_tty = stderr_tty});
}

TEST(ClientCommands, AgainstADemoServer) {
  Server server;
  ASSERT_TRUE(server.ready());
  const int port = server.port();
  const std::string p = std::to_string(port);

  RunResult health = client({"health"}, port);
  EXPECT_EQ(health.status, 0);
  EXPECT_EQ(health.out, "OK: dashboard healthy on port " + p + " (devices: 5)\n");

  RunResult mount = client({"mount", "laptop:2e8a:0003", "laptop-wsl2"}, port);
  EXPECT_EQ(mount.status, 0);
  EXPECT_EQ(mount.out,
            "OK: mounted laptop:2e8a:0003 → laptop-wsl2\n"
            "  agent command: [laptop] usbipd bind --busid 2-4 && usbipd attach --wsl --busid 2-4\n");

  RunResult unmount = client({"unmount", "laptop:0483:374b"}, port);
  EXPECT_EQ(unmount.status, 0);
  EXPECT_EQ(unmount.out,
            "OK: unmounted laptop:0483:374b\n"
            "  agent command: [laptop-wsl2] usbip detach (device 0483:374B) ; [laptop] usbipd unbind --busid 2-1\n");
  EXPECT_EQ(unmount.err, "Hint: see `tavrix-usb list` or the dashboard for the updated mount state\n");

  const std::pair<std::vector<std::string>, std::string> refusals[] = {
      {{"unmount", "laptop:0483:374b"}, "ERROR: server returned 409: device is not mounted\n"},
      {{"mount", "laptop:ffff:0001", "laptop"}, "ERROR: server returned 404: unknown device: laptop:ffff:0001\n"},
      {{"mount", "laptop:2e8a:0003", "workcell-rpi-001"},
       "ERROR: server returned 400: laptop:2e8a:0003 cannot be mounted on workcell-rpi-001 (not in routing matrix)\n"},
  };
  for (const auto& [args, err] : refusals) {
    SCOPED_TRACE(testing::PrintToString(args));
    RunResult r = client(args, port);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, err);
  }
}

TEST(ClientCommands, ConsoleStylesFollowEachStream) {
  Server server;
  ASSERT_TRUE(server.ready());
  // stdout piped, stderr on a terminal: plain OK line, styled hint.
  RunResult r = client({"unmount", "laptop:0483:374b"}, server.port(), false, true);
  EXPECT_TRUE(r.out.starts_with("OK: unmounted")) << r.out;
  EXPECT_EQ(r.err, "\x1b[2mHint:\x1b[0m see `tavrix-usb list` or the dashboard for the updated mount state\n");
  RunResult tty = client({"health"}, server.port(), true, false);
  EXPECT_TRUE(tty.out.starts_with("\x1b[32m\x1b[1mOK:\x1b[0m dashboard healthy")) << tty.out;

  // A failure text carrying escape codes (an id as typed) keeps them only on a terminal.
  const std::string id = "\x1b[1mx\x1b[0m";
  RunResult piped_err = client({"unmount", id}, server.port());
  EXPECT_EQ(piped_err.err, "ERROR: server returned 404: unknown device: x\n");
  RunResult tty_err = client({"unmount", id}, server.port(), false, true);
  EXPECT_EQ(tty_err.err, "\x1b[31m\x1b[1mERROR:\x1b[0m server returned 404: unknown device: " + id + "\n");
}

TEST(ClientCommands, WithNothingListening) {
  const int port = free_port();
  const std::string p = std::to_string(port);
  RunResult health = client({"health"}, port);
  EXPECT_EQ(health.status, 1);
  EXPECT_TRUE(health.err.starts_with("ERROR: no dashboard on port " + p + " (")) << health.err;
  EXPECT_TRUE(health.err.ends_with("). Start it with: tavrix-usb app\n"));
  for (std::vector<std::string> args : {std::vector<std::string>{"mount", "a", "b"}, {"unmount", "a"}}) {
    RunResult r = client(args, port);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("ERROR: could not reach the dashboard on port " + p + " (")) << r.err;
    EXPECT_TRUE(r.err.ends_with("). Start it with: tavrix-usb app\n"));
  }
}

// A one-shot server that answers every connection with `answer`.
class CannedServer {
 public:
  explicit CannedServer(std::string answer) : answer_(std::move(answer)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    ::listen(fd_, 8);
    thread_ = std::thread([this] {
      int client = ::accept(fd_, nullptr, nullptr);
      if (client < 0) return;
      char buf[4096];
      ::recv(client, buf, sizeof buf, 0);
      ::send(client, answer_.data(), answer_.size(), MSG_NOSIGNAL);
      ::close(client);
    });
  }
  ~CannedServer() {
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    thread_.join();
  }
  int port() const { return port_; }

 private:
  std::string answer_;
  int fd_ = -1;
  int port_ = 0;
  std::thread thread_;
};

std::string canned(const std::string& status_line, const std::string& body) {
  return "HTTP/1.1 " + status_line + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

TEST(ClientCommands, OddAnswers) {
  struct Case {
    std::vector<std::string> args;
    std::string answer;
    int status;
    std::string out_or_err;  // stdout on success, stderr on failure
  };
  const Case cases[] = {
      {{"mount", "a", "b"}, canned("500 Internal Server Error", "no json"), 1, "ERROR: server returned 500: \n"},
      {{"mount", "a", "b"}, canned("409 Conflict", R"({"error":7})"), 1, "ERROR: server returned 409: \n"},
      {{"unmount", "a"}, canned("200 OK", "not json"), 1, "ERROR: parse response: "},
      {{"mount", "a", "b"}, canned("200 OK", R"({"ok":false})"), 0, "OK: mounted a → b\n"},
      {{"health"}, canned("200 OK", "not json"), 0, "OK: dashboard healthy on port PORT (devices: 0)\n"},
      {{"health"}, canned("200 OK", R"({"devices":-3})"), 0, "OK: dashboard healthy on port PORT (devices: 0)\n"},
      {{"health"}, canned("200 OK", R"({"devices":2.5})"), 0, "OK: dashboard healthy on port PORT (devices: 0)\n"},
      {{"health"}, canned("404 Not Found", "{}"), 1, "ERROR: no dashboard on port PORT ("},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    CannedServer canned_server(c.answer);
    RunResult r = client(c.args, canned_server.port());
    std::string expected = c.out_or_err;
    if (auto at = expected.find("PORT"); at != std::string::npos) {
      expected.replace(at, 4, std::to_string(canned_server.port()));
    }
    EXPECT_EQ(r.status, c.status);
    EXPECT_TRUE((c.status == 0 ? r.out : r.err).starts_with(expected)) << r.out << r.err;
  }
}

}  // namespace
}  // namespace tavrix::test
