#include "platform/clock.hpp"

#include <fmt/format.h>

#include <ctime>

namespace tavrix::platform {

namespace {

// Negative readings (a clock before 1970) clamp to zero.
bool read_clock(timespec& ts) {
  if (::clock_gettime(CLOCK_REALTIME, &ts) != 0 || ts.tv_sec < 0) {
    return false;
  }
  return true;
}

}  // namespace

std::uint64_t now_ms() {
  timespec ts{};
  if (!read_clock(ts)) {
    return 0;
  }
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

std::string now_ns_decimal() {
  timespec ts{};
  if (!read_clock(ts)) {
    return "0";
  }
  if (ts.tv_sec == 0) {
    return fmt::format("{}", ts.tv_nsec);
  }
  return fmt::format("{}{:09}", ts.tv_sec, ts.tv_nsec);
}

}  // namespace tavrix::platform
