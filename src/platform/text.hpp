#pragma once
// UTF-8 checks, lossy decoding and operating-system error texts.

#include <string>
#include <string_view>

namespace tavrix::platform {

// True when `bytes` is well-formed UTF-8.
bool is_valid_utf8(std::string_view bytes);

// `bytes` as UTF-8 with every invalid sequence replaced by U+FFFD.
std::string decode_utf8_lossy(std::string_view bytes);

// The OS description of `error_number` followed by " (os error N)",
// e.g. "No such file or directory (os error 2)".
std::string os_error_text(int error_number);

// A library's error message without the "[tag] " some libraries put before
// it (nlohmann writes "[json.exception.parse_error.101] parse error at ...").
std::string library_error_text(std::string_view what);

}  // namespace tavrix::platform
