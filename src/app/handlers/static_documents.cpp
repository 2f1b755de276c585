#include "app/handlers/handlers.hpp"
#include "assets/assets.hpp"

namespace tavrix::app {

Response handle_page() {
  Response response;
  response.headers = {{"Content-Type", "text/html; charset=utf-8"},
                      {"Cache-Control", "no-cache"},
                      {"Content-Security-Policy", "frame-ancestors *"}};
  response.body = std::string(assets::index_html());
  return response;
}

Response handle_icon() {
  Response response;
  response.headers = {{"Content-Type", "image/svg+xml"}, {"Content-Security-Policy", "frame-ancestors *"}};
  response.body = std::string(assets::favicon_svg());
  return response;
}

}  // namespace tavrix::app
