#pragma once
// The command tree of tavrix-usb and the argument record of each subcommand.

#include "app/app_args.hpp"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace CLI {
class App;
class Option;
}

namespace tavrix::cli {

inline constexpr const char* kProgramName = "tavrix-usb";
inline constexpr const char* kVersion = "0.1.0";

// The shells that `completions` writes scripts for; the parser accepts exactly these.
inline constexpr std::array<std::string_view, 5> kCompletionShells{"bash", "elvish", "fish", "powershell", "zsh"};

using app::AppArgs;
struct ListArgs {
  bool demo = false;
};
struct MountArgs {
  std::string device_id;
  std::string target_id;
  std::uint16_t port = 8896;
};
struct UnmountArgs {
  std::string device_id;
  std::uint16_t port = 8896;
};
struct HealthArgs {
  std::uint16_t port = 8896;
};
struct InstallArgs {};
struct CompletionsArgs {
  std::string shell;
};

using Command = std::variant<AppArgs, ListArgs, MountArgs, UnmountArgs, HealthArgs, InstallArgs, CompletionsArgs>;

// Where parsing writes the values of every subcommand; the chosen one is
// picked out after parsing.
struct ParsedValues {
  AppArgs app;
  ListArgs list;
  MountArgs mount;
  UnmountArgs unmount;
  HealthArgs health;
  CompletionsArgs completions;
  std::string help_topic;
};

// The whole command tree, its options bound to `values`. Also what the
// completion scripts are generated from, so the two cannot drift apart.
std::unique_ptr<CLI::App> make_command_tree(ParsedValues& values);

// The fixed list of values that `option` of that tree accepts, in order, or
// an empty list when it takes any value.
std::vector<std::string> accepted_values(CLI::Option& option);

// Parses the process arguments into one command. Help, version and usage
// errors are printed here and come back as the exit status to end with
// (0 for help and version, 2 for usage errors and for no arguments at all).
std::variant<Command, int> parse_command_line(int argc, const char* const* argv);

}  // namespace tavrix::cli
