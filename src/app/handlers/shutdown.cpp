#include "app/handlers/handlers.hpp"
#include "app/tab/workspace_tab.hpp"

namespace tavrix::app {

Response handle_shutdown(const TabSettings& tab) {
  if (!tab.no_tab) {
    (void)tab::close_workspace_tab(tab.tab_name);  // a failure changes nothing here
  }
  Response response = json_response(200, Json{{"ok", true}, {"shutdown", true}});
  response.exit_after_send = true;
  return response;
}

}  // namespace tavrix::app
