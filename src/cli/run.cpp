#include "app/dashboard.hpp"
#include "cli/console.hpp"
#include "cli/handlers.hpp"

namespace tavrix::cli {

namespace {

template <class... Fs>
struct Overloaded : Fs... {
  using Fs::operator()...;
};

Outcome dispatch(const Command& command) {
  return std::visit(Overloaded{
                        [](const AppArgs& a) { return app::run_dashboard(a); },
                        [](const ListArgs& a) { return run_list(a); },
                        [](const MountArgs& a) { return run_mount(a); },
                        [](const UnmountArgs& a) { return run_unmount(a); },
                        [](const HealthArgs& a) { return run_health(a); },
                        [](const InstallArgs& a) { return run_install(a); },
                        [](const CompletionsArgs& a) { return run_completions(a); },
                    },
                    command);
}

}  // namespace

int run(int argc, const char* const* argv) {
  auto parsed = parse_command_line(argc, argv);
  if (const int* status = std::get_if<int>(&parsed)) {
    return *status;
  }
  Outcome outcome = dispatch(std::get<Command>(parsed));
  if (!outcome) {
    print_error(outcome.error());
    return 1;
  }
  return 0;
}

}  // namespace tavrix::cli
