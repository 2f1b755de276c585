#pragma once
// What `tavrix-usb app` is started with.

#include <cstdint>
#include <string>

namespace tavrix::app {

struct AppArgs {
  std::uint16_t port = 8896;
  std::string tab_name = "USB Devices";
  bool no_tab = false;  // open no workspace tab and remove none at shutdown
  bool demo = false;    // seed the demo device set; every agent counts as online
  bool dev = false;     // serve the agent evaluation routes
};

}  // namespace tavrix::app
