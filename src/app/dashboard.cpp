#include "app/dashboard.hpp"

#include "app/http_server.hpp"
#include "app/routes.hpp"
#include "app/state.hpp"
#include "app/tab/workspace_tab.hpp"
#include "assets/assets.hpp"
#include "cli/console.hpp"

#include <fmt/format.h>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace tavrix::app {

std::expected<void, std::string> run_dashboard(const AppArgs& args) {
  cli::print_ok(fmt::format("tavrix-usb dashboard starting on port {}", args.port));
  cli::print_line(args.demo ? "  \x1b[2mdemo mode: seeding a representative cross-ecosystem device set\x1b[0m"
                            : "  \x1b[2mlive mode: real lsusb on this container + registered agents only\x1b[0m");

  AppState state(args.demo, args.dev);

  auto server = HttpServer::bind(args.port);
  if (!server) {
    return std::unexpected(server.error());
  }
  // A client hanging up mid-answer must not end the process; a console that
  // went away simply stops receiving lines.
  std::signal(SIGPIPE, SIG_IGN);

  if (!args.no_tab) {
    const std::string url = tab::workspace_tab_url(args.port);
    if (auto opened = tab::open_workspace_tab(args.tab_name, url, assets::favicon_svg())) {
      cli::print_ok(fmt::format("opened Orvane tab '{}' → {}", args.tab_name, url));
    } else {
      cli::print_warn(fmt::format("couldn't open tab: {}. Manually: {}", opened.error(), url));
    }
  }
  cli::print_line("  \x1b[2mPress ctrl-c or POST /shutdown to stop.\x1b[0m");

  const TabSettings tab{args.no_tab, args.tab_name};
  (*server)->run([&](const Request& request) { return route_request(request, state, tab); },
                 [] {
                   cli::print_ok("shutdown requested, exiting");
                   std::fflush(nullptr);
                   ::_exit(0);
                 });
  return {};
}

}  // namespace tavrix::app
