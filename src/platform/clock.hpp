#pragma once
// Wall-clock readings since the Unix epoch.

#include <cstdint>
#include <string>

namespace tavrix::platform {

// Whole milliseconds since the Unix epoch; 0 when the clock reads earlier.
std::uint64_t now_ms();

// Nanoseconds since the Unix epoch in decimal, no leading zeros; "0" when the
// clock reads earlier. Text, so no clock setting can overflow it.
std::string now_ns_decimal();

}  // namespace tavrix::platform
