#pragma once
// Runs an external program without a shell and captures what it prints.

#include <expected>
#include <string>
#include <vector>

namespace tavrix::platform {

struct ProcessResult {
  int exit_code = -1;   // the exit status, or -1 when a signal ended the child
  std::string out;      // standard output, raw bytes
  std::string err;      // standard error, raw bytes
  bool success() const { return exit_code == 0; }
};

// What happens to the child's standard error.
enum class Stderr {
  capture,  // read into ProcessResult::err
  discard,  // sent to /dev/null: one pipe less for callers that never read it
};

// Starts `name` (looked up through PATH) with `args` as separate words, stdin
// from /dev/null, and waits for it while draining stdout and stderr together so
// a chatty child cannot deadlock. Fails only when the program cannot be
// started, with "{description} (os error N)".
std::expected<ProcessResult, std::string> run_program(const std::string& name, const std::vector<std::string>& args,
                                                      Stderr stderr_mode = Stderr::capture);

}  // namespace tavrix::platform
