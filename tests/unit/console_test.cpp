#include "cli/console.hpp"

#include <gtest/gtest.h>

namespace tavrix::cli {
namespace {

TEST(StripAnsi, RemovesControlSequencesOnly) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "plain"},
      {"\x1b[1mx\x1b[0m", "x"},
      {"\x1b[32m\x1b[1mOK:\x1b[0m done", "OK: done"},
      {"a\x1b[12", "a"},                      // unterminated: dropped to the end
      {"a\x1b[", "a"},
      {"a\x1b" "b", "a\x1b" "b"},             // ESC not followed by '[' survives
      {"a\x1b", "a\x1b"},
      {"\x1b\x1b[2Jz", "\x1bz"},              // the second ESC starts the sequence
      {"\x1b[38;5;196mred\x1b[0m", "red"},
      {"caf\xc3\xa9 \x1b[2m\xe2\x86\x92\x1b[0m", "caf\xc3\xa9 \xe2\x86\x92"},
      {"\x1b[\xc3\xa9m!", "!"},               // non-letters, multibyte included, are part of the sequence
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(strip_ansi(input), expected) << testing::PrintToString(input);
  }
}

}  // namespace
}  // namespace tavrix::cli
