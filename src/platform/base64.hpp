#pragma once
// Standard Base64 (RFC 4648: '+' and '/', '=' padding, no line breaks).

#include <string>
#include <string_view>

namespace tavrix::platform {

// The Base64 text of `bytes`.
std::string base64_encode(std::string_view bytes);

}  // namespace tavrix::platform
