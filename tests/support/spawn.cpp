#include "support/spawn.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace tavrix::test {

std::string binary_path() { return TAVRIX_BINARY; }
std::string doubles_dir() { return TAVRIX_TEST_DOUBLES; }

std::string path_with(const std::string& first) {
  const char* path = std::getenv("PATH");
  return first + ":" + (path ? path : "/usr/bin:/bin");
}

namespace {

// A read end for the parent and a write end for the child: a pipe, or a
// pseudo-terminal whose slave the child writes to.
bool open_channel(bool tty, int& parent_fd, int& child_fd) {
  if (tty) {
    termios raw{};
    cfmakeraw(&raw);
    return ::openpty(&parent_fd, &child_fd, nullptr, &raw, nullptr) == 0;
  }
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    return false;
  }
  parent_fd = fds[0];
  child_fd = fds[1];
  return true;
}

}  // namespace

RunResult run(const std::string& program, const RunOptions& options) {
  RunResult result;
  int out_parent = -1, out_child = -1, err_parent = -1, err_child = -1;
  if (!open_channel(options.stdout_tty, out_parent, out_child) ||
      !open_channel(options.stderr_tty, err_parent, err_child)) {
    result.err = "could not open output channels";
    return result;
  }

  std::vector<std::string> words{program};
  words.insert(words.end(), options.args.begin(), options.args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    int null_fd = ::open("/dev/null", O_RDONLY);
    ::dup2(null_fd, STDIN_FILENO);
    ::dup2(out_child, STDOUT_FILENO);
    ::dup2(err_child, STDERR_FILENO);
    for (const auto& [name, value] : options.env) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
    if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) {
      ::_exit(126);
    }
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out_child);
  ::close(err_child);

  const auto deadline = std::chrono::steady_clock::now() + options.timeout;
  int fds[2] = {out_parent, err_parent};
  std::string* sinks[2] = {&result.out, &result.err};
  bool timed_out = false;
  char buf[65536];
  while (fds[0] >= 0 || fds[1] >= 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timed_out = true;
      break;
    }
    pollfd polls[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
    int n = ::poll(polls, 2, static_cast<int>(left.count()));
    if (n < 0 && errno == EINTR) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i] < 0 || polls[i].revents == 0) continue;
      ssize_t got = ::read(fds[i], buf, sizeof buf);
      if (got > 0) {
        sinks[i]->append(buf, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {  // EIO marks a closed pty
        ::close(fds[i]);
        fds[i] = -1;
      }
    }
  }
  for (int fd : fds) {
    if (fd >= 0) ::close(fd);
  }
  if (timed_out) {
    ::kill(-pid, SIGKILL);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = (!timed_out && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  return result;
}

RunResult run_tavrix(const RunOptions& options) { return run(binary_path(), options); }

}  // namespace tavrix::test
