#include "platform/text.hpp"

#include <fmt/format.h>
#include <utf8.h>

#include <cstring>

namespace tavrix::platform {

bool is_valid_utf8(std::string_view bytes) {
  return utf8::is_valid(bytes.begin(), bytes.end());
}

std::string decode_utf8_lossy(std::string_view bytes) {
  if (is_valid_utf8(bytes)) {
    return std::string(bytes);
  }
  std::string result;
  result.reserve(bytes.size() + 16);
  utf8::replace_invalid(bytes.begin(), bytes.end(), std::back_inserter(result), 0xFFFD);
  return result;
}

std::string os_error_text(int error_number) {
  char buf[256];
  // GNU strerror_r: returns a pointer to the text, which may or may not be buf.
  const char* text = ::strerror_r(error_number, buf, sizeof buf);
  return fmt::format("{} (os error {})", text, error_number);
}

std::string library_error_text(std::string_view what) {
  if (what.starts_with('[')) {
    if (size_t close = what.find("] "); close != std::string_view::npos) {
      what.remove_prefix(close + 2);
    }
  }
  return std::string(what);
}

}  // namespace tavrix::platform
