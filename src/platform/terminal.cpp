#include "platform/terminal.hpp"

#include <unistd.h>

namespace tavrix::platform {

// Function-local statics are initialised once, even under concurrent first use.
bool stdout_is_terminal() {
  static const bool flag = ::isatty(STDOUT_FILENO) == 1;
  return flag;
}

bool stderr_is_terminal() {
  static const bool flag = ::isatty(STDERR_FILENO) == 1;
  return flag;
}

}  // namespace tavrix::platform
