#pragma once
// Whether the standard streams are terminals, asked once per process.

namespace tavrix::platform {

// True when standard output is a terminal. Computed on first use, then cached.
bool stdout_is_terminal();
// True when standard error is a terminal. Computed on first use, then cached.
bool stderr_is_terminal();

}  // namespace tavrix::platform
