#include "support/spawn.hpp"

#include <gtest/gtest.h>

namespace tavrix::test {
namespace {

TEST(CommandLine, VersionPrintsNameAndVersion) {
  RunResult r = run_tavrix({.args = {"--version"}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "tavrix-usb 0.1.0\n");
}

}  // namespace
}  // namespace tavrix::test
