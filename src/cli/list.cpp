#include "cli/console.hpp"
#include "cli/handlers.hpp"
#include "devices/catalogue.hpp"

namespace tavrix::cli {

Outcome run_list(const ListArgs& args) {
  const devices::Json document = devices::build_inventory(args.demo, {});
  // Every text in the document is valid UTF-8 already; replace keeps a stray
  // invalid byte from ever turning into an exception.
  print_line(document.dump(2, ' ', false, devices::Json::error_handler_t::replace));
  return {};
}

}  // namespace tavrix::cli
