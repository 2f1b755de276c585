#include "support/server.hpp"

#include "support/http_client.hpp"
#include "support/spawn.hpp"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tavrix::test {

Server::Server(ServerOptions options) {
  port_ = free_port();
  const std::string listing = dir_.write("lsusb-listing", options.lsusb_listing).string();
  std::map<std::string, std::optional<std::string>> env = {
      {"PATH", path_with(doubles_dir())},
      {"TAVRIX_FAKE_LSUSB", listing},
      {"TAVRIX_FAKE_CLI_LOG", (dir_.path() / "tavrix-cli.log").string()},
      {"TAVRIX_USB_DEMO", std::nullopt},
      {"TAVRIX_USB_DEV", std::nullopt},
      {"VSCODE_PROXY_URI", std::nullopt},
  };
  for (const auto& [k, v] : options.env) env[k] = v;

  std::vector<std::string> words = {binary_path(), "app", "--port", std::to_string(port_)};
  if (options.no_tab) words.push_back("--no-tab");
  words.insert(words.end(), options.args.begin(), options.args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const std::string out_path = (dir_.path() / "stdout").string();
  const std::string err_path = (dir_.path() / "stderr").string();

  pid_ = ::fork();
  if (pid_ == 0) {
    int null_fd = ::open("/dev/null", O_RDONLY);
    ::dup2(null_fd, 0);
    ::dup2(::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    ::dup2(::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    for (const auto& [k, v] : env) {
      if (v) ::setenv(k.c_str(), v->c_str(), 1);
      else ::unsetenv(k.c_str());
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  for (int i = 0; i < 200 && !ready_; ++i) {
    if (wait_exit(0)) return;  // it ended (a bind failure, say)
    // Answering, not just accepting: the tab is opened between the two.
    if (request(port_, "GET", "/favicon.svg").status == 200) {
      ready_ = true;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
  }
}

std::optional<int> Server::wait_exit(int timeout_ms) {
  for (int waited = 0; !status_; waited += 10) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      break;
    }
    if (waited >= timeout_ms) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status_;
}

Server::~Server() {
  if (!status_) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
}

std::string Server::out() const { return read_file(dir_.path() / "stdout"); }
std::string Server::err() const { return read_file(dir_.path() / "stderr"); }

}  // namespace tavrix::test
