#pragma once
// `tavrix-usb app --no-tab` started for one test on a free loopback port,
// with the stand-in tools first on PATH, and always stopped afterwards.

#include "support/temp_dir.hpp"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavrix::test {

struct ServerOptions {
  std::vector<std::string> args = {"--demo"};  // besides app --port N
  bool no_tab = true;
  std::string lsusb_listing;  // what the stand-in lsusb prints
  std::map<std::string, std::optional<std::string>> env;
};

class Server {
 public:
  explicit Server(ServerOptions options = {});
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  int port() const { return port_; }
  bool ready() const { return ready_; }
  const TempDir& dir() const { return dir_; }
  // Waits (up to `timeout_ms`) for the process to end; its exit status, or
  // nullopt while it still runs.
  std::optional<int> wait_exit(int timeout_ms = 5000);
  std::string out() const;
  std::string err() const;

 private:
  TempDir dir_;
  int port_ = 0;
  int pid_ = -1;
  bool ready_ = false;
  std::optional<int> status_;
};

}  // namespace tavrix::test
