#pragma once
// Runs the built tavrix-usb (or any program) the way a user would, and
// collects what it printed and how it ended.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavrix::test {

// The built binary under test.
std::string binary_path();
// The folder with the stand-in `lsusb` and `tavrix-cli`.
std::string doubles_dir();

struct RunOptions {
  std::vector<std::string> args;
  // Environment changes on top of the test's own: a value sets, nullopt unsets.
  std::map<std::string, std::optional<std::string>> env;
  // When true the stream is a pseudo-terminal instead of a pipe.
  bool stdout_tty = false;
  bool stderr_tty = false;
  std::string cwd;  // empty: the test's own
  std::chrono::seconds timeout{20};
};

struct RunResult {
  int status = -1;  // exit status; -1 when killed by a signal or the timeout
  std::string out;
  std::string err;
};

// Runs `program` (a path, or a name looked up in PATH) to completion.
RunResult run(const std::string& program, const RunOptions& options);

// Runs the tavrix-usb binary under test.
RunResult run_tavrix(const RunOptions& options);

// A PATH value with `first` in front of the test's own PATH.
std::string path_with(const std::string& first);

}  // namespace tavrix::test
