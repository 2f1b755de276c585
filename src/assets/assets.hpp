#pragma once
// Documents compiled into the binary from assets/ at build time; nothing is
// read from disk at run time.

#include <string_view>

namespace tavrix::assets {

// The dashboard page, served at / and /index.html.
std::string_view index_html();
// The USB trident icon, served at /favicon.svg and used as the tab icon.
std::string_view favicon_svg();
// The skill document that `install` writes for coding agents.
std::string_view skill_md();

}  // namespace tavrix::assets
