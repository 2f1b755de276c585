#include "platform/base64.hpp"

#include <cstdint>

namespace tavrix::platform {

std::string base64_encode(std::string_view bytes) {
  static constexpr char alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  auto byte = [&](size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[k])); };
  for (; i + 3 <= bytes.size(); i += 3) {
    std::uint32_t n = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    out += alphabet[n >> 18 & 63];
    out += alphabet[n >> 12 & 63];
    out += alphabet[n >> 6 & 63];
    out += alphabet[n & 63];
  }
  size_t rest = bytes.size() - i;
  if (rest == 1) {
    std::uint32_t n = byte(i) << 16;
    out += alphabet[n >> 18 & 63];
    out += alphabet[n >> 12 & 63];
    out += "==";
  } else if (rest == 2) {
    std::uint32_t n = byte(i) << 16 | byte(i + 1) << 8;
    out += alphabet[n >> 18 & 63];
    out += alphabet[n >> 12 & 63];
    out += alphabet[n >> 6 & 63];
    out += '=';
  }
  return out;
}

}  // namespace tavrix::platform
