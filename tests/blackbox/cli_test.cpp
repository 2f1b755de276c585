#include "support/spawn.hpp"

#include <gtest/gtest.h>

namespace tavrix::test {
namespace {

TEST(CommandLine, NoArgumentsPrintsHelpOnStderrWithStatus2) {
  RunResult r = run_tavrix({});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("Usage: tavrix-usb"), std::string::npos);
  EXPECT_NE(r.err.find("completions"), std::string::npos);
}

TEST(CommandLine, HelpAndVersionGoToStdoutWithStatus0) {
  struct Case {
    std::vector<std::string> args;
    std::string expected;  // exact output, or a piece of it for help
    bool exact;
  };
  const Case cases[] = {
      {{"--version"}, "tavrix-usb 0.1.0\n", true},
      {{"-V"}, "tavrix-usb 0.1.0\n", true},
      {{"--help"}, "USB device mesh dashboard — see and route every USB device across the Tavrix ecosystem", false},
      {{"-h"}, "Usage: tavrix-usb", false},
      {{"help"}, "Open the Orvane webview dashboard (starts the HTTP server)", false},
      {{"help", "list"}, "Seed the representative cross-ecosystem demo set on top of real lsusb", false},
      {{"list", "--help"}, "Seed the representative cross-ecosystem demo set on top of real lsusb", false},
      {{"app", "-h"}, "TAVRIX_USB_DEMO", false},
      {{"app", "-h"}, "--tab-name <TAB_NAME>", false},
      {{"mount", "--help"}, "Mount a device onto a target host (POSTs to a running `app` server)", false},
      {{"completions", "-h"}, "Print shell completion script", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    RunResult r = run_tavrix({.args = c.args});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    if (c.exact) {
      EXPECT_EQ(r.out, c.expected);
    } else {
      EXPECT_NE(r.out.find(c.expected), std::string::npos) << r.out;
    }
  }
}

TEST(CommandLine, UsageErrorsExitWith2AndPrintOnlyOnStderr) {
  struct Case {
    std::vector<std::string> args;
    std::map<std::string, std::optional<std::string>> env;
  };
  const Case cases[] = {
      {{"app", "--port", "70000"}, {}},
      {{"app", "--port", "-1"}, {}},
      {{"health", "--port", "abc"}, {}},
      {{"mount", "laptop:2e8a:0003"}, {}},
      {{"mount", "a", "b", "c"}, {}},
      {{"unmount"}, {}},
      {{"completions", "Bash"}, {}},
      {{"completions"}, {}},
      {{"frobnicate"}, {}},
      {{"list", "--bogus"}, {}},
      {{"list", "-d"}, {}},
      {{"app", "--demo=false"}, {}},
      {{"help", "nosuch"}, {}},
      {{"app", "--no-tab"}, {{"TAVRIX_USB_DEMO", "1"}}},
      {{"app", "--no-tab"}, {{"TAVRIX_USB_DEMO", "TRUE"}}},
      {{"app", "--no-tab"}, {{"TAVRIX_USB_DEV", "yes"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    RunResult r = run_tavrix({.args = c.args, .env = c.env});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err, "");
  }
}

TEST(CommandLine, EnvironmentFlagsApplyToAppOnly) {
  RunResult r = run_tavrix({.args = {"list"},
                            .env = {{"TAVRIX_USB_DEMO", "true"}, {"TAVRIX_USB_DEV", "junk"}, {"PATH", "/nonexistent"}}});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\"demo\": false"), std::string::npos);
}

TEST(CommandLine, PortZeroIsAcceptedByTheParser) {
  RunResult r = run_tavrix({.args = {"health", "--port", "0"}});
  EXPECT_EQ(r.status, 1);  // reaches the handler, which fails
  EXPECT_EQ(r.err.rfind("ERROR: ", 0), 0u);
}

TEST(ConsoleLines, ErrorTagIsStyledOnlyOnATerminal) {
  RunResult piped = run_tavrix({.args = {"health", "--port", "1"}});
  RunResult tty = run_tavrix({.args = {"health", "--port", "1"}, .stderr_tty = true});
  ASSERT_EQ(piped.status, 1);
  ASSERT_EQ(tty.status, 1);
  ASSERT_EQ(piped.err.rfind("ERROR: ", 0), 0u);
  const std::string message = piped.err.substr(7);
  EXPECT_EQ(tty.err, "\x1b[31m\x1b[1mERROR:\x1b[0m " + message);
  EXPECT_EQ(message.find('\x1b'), std::string::npos);
  EXPECT_EQ(message.back(), '\n');
}

}  // namespace
}  // namespace tavrix::test
