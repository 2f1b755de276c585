#include "cli/handlers.hpp"

#include <fmt/format.h>

// Subcommands whose handlers are not built yet fail with a clear message.
namespace tavrix::cli {

namespace {
Outcome not_yet(const char* command) {
  return std::unexpected(fmt::format("{}: this command is not available yet in this build", command));
}
}  // namespace

Outcome run_install(const InstallArgs&) { return not_yet("install"); }
Outcome run_completions(const CompletionsArgs&) { return not_yet("completions"); }

}  // namespace tavrix::cli
