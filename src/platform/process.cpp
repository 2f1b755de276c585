#include "platform/process.hpp"

#include "platform/text.hpp"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tavrix::platform {

namespace {

// Closes a descriptor when it goes out of scope.
struct Fd {
  int fd = -1;
  Fd() = default;
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  void reset() {
    if (fd >= 0) {
      ::close(fd);
      fd = -1;
    }
  }
};

bool make_pipe(Fd& read_end, Fd& write_end) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    return false;
  }
  read_end.fd = fds[0];
  write_end.fd = fds[1];
  return true;
}

// Reads both pipes until each reports end of file.
void drain(Fd& out_fd, Fd& err_fd, std::string& out, std::string& err) {
  char buf[65536];
  while (out_fd.fd >= 0 || err_fd.fd >= 0) {
    pollfd fds[2] = {{out_fd.fd, POLLIN, 0}, {err_fd.fd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      break;
    }
    Fd* pipes[2] = {&out_fd, &err_fd};
    std::string* sinks[2] = {&out, &err};
    for (int i = 0; i < 2; ++i) {
      if (pipes[i]->fd < 0 || fds[i].revents == 0) {
        continue;
      }
      ssize_t n = ::read(pipes[i]->fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        pipes[i]->reset();
      }
    }
  }
}

}  // namespace

std::expected<ProcessResult, std::string> run_program(const std::string& name, const std::vector<std::string>& args,
                                                      Stderr stderr_mode) {
  const bool capture_err = stderr_mode == Stderr::capture;
  Fd out_read, out_write, err_read, err_write;
  if (!make_pipe(out_read, out_write) || (capture_err && !make_pipe(err_read, err_write))) {
    return std::unexpected(os_error_text(errno));
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_write.fd, STDOUT_FILENO);
  if (capture_err) {
    posix_spawn_file_actions_adddup2(&actions, err_write.fd, STDERR_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }

  std::vector<char*> argv;
  argv.reserve(args.size() + 2);
  argv.push_back(const_cast<char*>(name.c_str()));
  for (const auto& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);

  pid_t pid = 0;
  int rc = ::posix_spawnp(&pid, name.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    return std::unexpected(os_error_text(rc));
  }
  // Only the child may hold the write ends, or the reads never see end of file.
  out_write.reset();
  err_write.reset();

  ProcessResult result;
  drain(out_read, err_read, result.out, result.err);

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      return result;  // exit_code stays -1: counts as failure
    }
  }
  if (WIFEXITED(status)) {
    result.exit_code = WEXITSTATUS(status);
  }
  return result;
}

}  // namespace tavrix::platform
