#include "platform/process.hpp"
#include "platform/text.hpp"

#include <gtest/gtest.h>

namespace tavrix::platform {
namespace {

TEST(RunProgram, CapturesBothStreamsAndTheExitStatus) {
  auto r = run_program("sh", {"-c", "printf out; printf err >&2; exit 3"});
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->exit_code, 3);
  EXPECT_EQ(r->out, "out");
  EXPECT_EQ(r->err, "err");
}

TEST(RunProgram, ArgumentsAreSeparateWordsAndStdinIsEmpty) {
  auto r = run_program("sh", {"-c", "printf '%s|' \"$@\"; cat", "sh", "a b", "$HOME", ";", ""});
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->out, "a b|$HOME|;||");
  EXPECT_TRUE(r->success());
}

TEST(RunProgram, ChattyChildOnBothStreamsDoesNotDeadlock) {
  // Far more than a pipe buffer on each stream, interleaved.
  auto r = run_program("sh", {"-c", "i=0; while [ $i -lt 2000 ]; do echo 0123456789012345678901234567890123456789; "
                                    "echo abcdefghijabcdefghijabcdefghijabcdefghij >&2; i=$((i+1)); done"});
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->out.size(), 2000u * 41);
  EXPECT_EQ(r->err.size(), 2000u * 41);
}

TEST(RunProgram, SignalledChildCountsAsFailure) {
  auto r = run_program("sh", {"-c", "kill -9 $$"});
  ASSERT_TRUE(r.has_value());
  EXPECT_FALSE(r->success());
}

TEST(RunProgram, MissingProgramReportsTheOsError) {
  auto r = run_program("tavrix-no-such-program-anywhere", {});
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error(), "No such file or directory (os error 2)");
}

TEST(Text, LossyDecodingReplacesInvalidSequences) {
  EXPECT_EQ(decode_utf8_lossy("ok \xe2\x86\x92"), "ok \xe2\x86\x92");
  EXPECT_EQ(decode_utf8_lossy("a\xff" "b"), "a\xef\xbf\xbd" "b");
  EXPECT_TRUE(is_valid_utf8(decode_utf8_lossy("\xc3\x28\xa0\xa1\xf0\x28\x8c\x28")));
  EXPECT_EQ(decode_utf8_lossy(std::string("nul\0byte", 8)), std::string("nul\0byte", 8));
}

}  // namespace
}  // namespace tavrix::platform

namespace tavrix::platform {
namespace {

TEST(RunProgram, DiscardedStderrNeverBlocksTheChild) {
  auto r = run_program("sh", {"-c", "head -c 1000000 /dev/zero >&2; printf done"}, Stderr::discard);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->out, "done");
  EXPECT_EQ(r->err, "");
  EXPECT_TRUE(r->success());
}

}  // namespace
}  // namespace tavrix::platform
