#include "platform/base64.hpp"

#include <gtest/gtest.h>

namespace tavrix::platform {
namespace {

// The test vectors of RFC 4648, section 10, plus bytes that need '+' and '/'.
TEST(Base64, MatchesTheRfcVectors) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\xfb\xff\xfe", 3), "+//+"},
      {std::string("\0\0", 2), "AAA="},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(base64_encode(input), expected) << "input of " << input.size() << " bytes";
  }
}

}  // namespace
}  // namespace tavrix::platform
