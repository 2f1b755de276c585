#include "cli/command_line.hpp"

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <cstdio>
#include <iostream>

namespace tavrix::cli {

namespace {

constexpr const char* kAbout = "USB device mesh dashboard — see and route every USB device across the Tavrix ecosystem";

// Flags fed from an environment variable accept exactly "true" or "false"
// there; "1" or "yes" is a usage error, not a silent yes. The empty
// description keeps help free of the validator's noise.
CLI::Validator strict_bool() {
  CLI::Validator v = CLI::IsMember({"true", "false"});
  v.description("");
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
  add_port(app_cmd, values.app.port);
  app_cmd->add_option("--tab-name", values.app.tab_name)->type_name("<TAB_NAME>")->capture_default_str();
  add_bool_flag(app_cmd, "--no-tab", values.app.no_tab);
  add_bool_flag(app_cmd, "--demo", values.app.demo,
                "Seed a representative cross-ecosystem device set so the dashboard is demonstrable before the live "
                "agents are wired")
      ->envname("TAVRIX_USB_DEMO")
      ->check(strict_bool());
  add_bool_flag(app_cmd, "--dev", values.app.dev)->envname("TAVRIX_USB_DEV")->check(strict_bool());

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
      ->check(CLI::IsMember({"bash", "elvish", "fish", "powershell", "zsh"}));

  // Listed last so `help` shows the real subcommands first.
  CLI::App* help_cmd = app->add_subcommand("help", "Print this message or the help of the given subcommand");
  help_cmd->add_option("COMMAND", values.help_topic)
      ->type_name("")
      ->check(CLI::IsMember({"app", "list", "mount", "unmount", "health", "install", "completions", "help"}));
  return app;
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
  } catch (const CLI::ParseError& e) {
    // CLI11 has an exit code per error kind; usage errors all end with 2.
    const int code = app->exit(e, std::cout, std::cerr);
    return code == 0 ? 0 : 2;
  }

  auto chosen = [&](const char* name) { return app->got_subcommand(name); };
  if (chosen("help")) {
    if (values.help_topic.empty()) {
      std::cout << app->help();
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
