#pragma once
// One handler per subcommand. Each returns success or the one-line failure
// text that the dispatcher prints as an ERROR line; none prints its own failure.

#include "cli/command_line.hpp"

#include <expected>
#include <string>

namespace tavrix::cli {

using Outcome = std::expected<void, std::string>;

// Prints the inventory document as pretty JSON. Never fails.
Outcome run_list(const ListArgs& args);
// Client commands against a running dashboard server.
Outcome run_health(const HealthArgs& args);
Outcome run_mount(const MountArgs& args);
Outcome run_unmount(const UnmountArgs& args);
// Writes the skill document for coding agents.
Outcome run_install(const InstallArgs& args);
// Prints the completion script of `args.shell`. Never fails.
Outcome run_completions(const CompletionsArgs& args);

// Parses the arguments, runs the chosen handler and returns the exit status.
int run(int argc, const char* const* argv);

}  // namespace tavrix::cli
