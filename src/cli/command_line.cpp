#include "cli/command_line.hpp"

#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <fmt/ranges.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <ranges>
#include <string_view>

namespace tavrix::cli {

namespace {

constexpr const char* kAbout = "USB device mesh dashboard — see and route every USB device across the Tavrix ecosystem";

// Flags of `app` that an environment variable can switch on. CLI11 would read
// these variables while parsing any subcommand, so they are applied by hand
// once `app` is known to be the one chosen.
struct EnvFlag {
  const char* option;
  const char* variable;
};
constexpr EnvFlag kAppEnvFlags[] = {{"--demo", "TAVRIX_USB_DEMO"}, {"--dev", "TAVRIX_USB_DEV"}};

// Help of `app` shows the variable behind a flag, as CLI11 would for its own.
class EnvFormatter : public CLI::Formatter {
 public:
  std::string make_option_desc(const CLI::Option* opt) const override {
    std::string desc = CLI::Formatter::make_option_desc(opt);
    for (const EnvFlag& flag : kAppEnvFlags) {
      if (opt->check_lname(std::string(flag.option).substr(2))) {
        desc += fmt::format("{}[env: {}]", desc.empty() ? "" : " ", flag.variable);
      }
    }
    return desc;
  }
};

// A variable decides a flag only when the command line did not give it, and
// only "true" or "false" are accepted: "1" or "yes" is a usage error, not a
// silent yes. An empty variable counts as unset.
void apply_env_flags(CLI::App& app_cmd, AppArgs& args) {
  for (const EnvFlag& flag : kAppEnvFlags) {
    const char* value = std::getenv(flag.variable);
    if (value == nullptr || *value == '\0' || app_cmd.count(flag.option) > 0) {
      continue;
    }
    const std::string text = value;
    if (text != "true" && text != "false") {
      throw CLI::ValidationError(flag.option,
                                 fmt::format("invalid value '{}' for {} from {}: expected true or false", text,
                                             flag.option, flag.variable));
    }
    bool& target = std::string_view(flag.option) == "--demo" ? args.demo : args.dev;
    target = text == "true";
  }
}

// Names the member check that accepted_values() reads back.
constexpr const char* kOneOf = "one-of";

// Accepts exactly one of `values`. The same list is what the completion
// scripts offer, so parser and scripts cannot disagree.
CLI::Validator one_of(const std::vector<std::string>& values) {
  CLI::Validator v = CLI::IsMember(values);
  v.name(kOneOf);
  v.description(fmt::format("{{{}}}", fmt::join(values, ",")));
  return v;
}

CLI::Option* add_port(CLI::App* sub, std::uint16_t& port) {
  return sub->add_option("--port", port)->type_name("<PORT>")->capture_default_str();
}

// Flags take no value on the command line: "--demo=false" is refused.
CLI::Option* add_bool_flag(CLI::App* sub, const std::string& name, bool& value, const std::string& help = "") {
  return sub->add_flag(name, value, help)->disable_flag_override();
}

}  // namespace

std::unique_ptr<CLI::App> make_command_tree(ParsedValues& values) {
  auto app = std::make_unique<CLI::App>(kAbout, kProgramName);
  app->set_version_flag("-V,--version", fmt::format("{} {}", kProgramName, kVersion));
  app->require_subcommand(1);

  CLI::App* app_cmd = app->add_subcommand("app", "Open the Orvane webview dashboard (starts the HTTP server)");
  app_cmd->formatter(std::make_shared<EnvFormatter>());
  add_port(app_cmd, values.app.port);
  app_cmd->add_option("--tab-name", values.app.tab_name)->type_name("<TAB_NAME>")->capture_default_str();
  add_bool_flag(app_cmd, "--no-tab", values.app.no_tab);
  add_bool_flag(app_cmd, "--demo", values.app.demo,
                "Seed a representative cross-ecosystem device set so the dashboard is demonstrable before the live "
                "agents are wired");
  add_bool_flag(app_cmd, "--dev", values.app.dev);

  CLI::App* list_cmd = app->add_subcommand("list", "Print the unified device inventory as JSON (no server needed)");
  add_bool_flag(list_cmd, "--demo", values.list.demo,
                "Seed the representative cross-ecosystem demo set on top of real lsusb");

  CLI::App* mount_cmd =
      app->add_subcommand("mount", "Mount a device onto a target host (POSTs to a running `app` server)");
  mount_cmd->add_option("DEVICE_ID", values.mount.device_id)->required()->type_name("");
  mount_cmd->add_option("TARGET_ID", values.mount.target_id)->required()->type_name("");
  add_port(mount_cmd, values.mount.port);

  CLI::App* unmount_cmd = app->add_subcommand("unmount", "Unmount a device from wherever it is attached");
  unmount_cmd->add_option("DEVICE_ID", values.unmount.device_id)->required()->type_name("");
  add_port(unmount_cmd, values.unmount.port);

  CLI::App* health_cmd = app->add_subcommand("health", "Check whether a running dashboard server is reachable");
  add_port(health_cmd, values.health.port);

  app->add_subcommand("install", "Install SKILL.md + bash completions");

  CLI::App* completions_cmd = app->add_subcommand("completions", "Print shell completion script");
  completions_cmd->add_option("SHELL", values.completions.shell)
      ->required()
      ->type_name("")
      ->check(one_of({kCompletionShells.begin(), kCompletionShells.end()}));

  // Listed last so `help` shows the real subcommands first.
  CLI::App* help_cmd = app->add_subcommand("help", "Print this message or the help of the given subcommand");
  std::vector<std::string> topics;
  for (const CLI::App* sub : app->get_subcommands([](const CLI::App*) { return true; })) {
    topics.push_back(sub->get_name());
  }
  help_cmd->add_option("COMMAND", values.help_topic)->type_name("")->check(one_of(topics));
  return app;
}

std::vector<std::string> accepted_values(CLI::Option& option) {
  std::string listed;
  try {
    listed = option.get_validator(kOneOf)->get_description();
  } catch (const CLI::OptionNotFound&) {
    return {};  // no member check: any value goes
  }
  // one_of() wrote the list as "{a,b,c}"; none of its values holds a comma.
  std::vector<std::string> values;
  for (const auto part : std::views::split(std::string_view(listed).substr(1, listed.size() - 2), ',')) {
    values.emplace_back(part.begin(), part.end());
  }
  return values;
}

std::variant<Command, int> parse_command_line(int argc, const char* const* argv) {
  ParsedValues values;
  std::unique_ptr<CLI::App> app = make_command_tree(values);
  if (argc <= 1) {
    std::cerr << app->help();
    return 2;
  }
  try {
    app->parse(argc, argv);
    if (app->got_subcommand("app")) {
      apply_env_flags(*app->get_subcommand("app"), values.app);
    }
  } catch (const CLI::ParseError& e) {
    // CLI11 has an exit code per error kind; usage errors all end with 2.
    const int code = app->exit(e, std::cout, std::cerr);
    return code == 0 ? 0 : 2;
  }

  auto chosen = [&](const char* name) { return app->got_subcommand(name); };
  if (chosen("help")) {
    if (values.help_topic.empty()) {
      // A fresh tree: once a subcommand was chosen, CLI11 shows that one's help.
      ParsedValues unused;
      std::cout << make_command_tree(unused)->help();
    } else {
      CLI::App* topic = app->get_subcommand(values.help_topic);
      std::cout << topic->help(kProgramName);
    }
    return 0;
  }
  if (chosen("app")) return Command{values.app};
  if (chosen("list")) return Command{values.list};
  if (chosen("mount")) return Command{values.mount};
  if (chosen("unmount")) return Command{values.unmount};
  if (chosen("health")) return Command{values.health};
  if (chosen("install")) return Command{InstallArgs{}};
  return Command{values.completions};
}

}  // namespace tavrix::cli
