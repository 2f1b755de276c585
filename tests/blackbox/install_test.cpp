#include "assets/assets.hpp"
#include "support/spawn.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tavrix::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSkillPath = ".claude/skills/tavrix-usb/SKILL.md";

std::string ok_output(const std::string& file) {
  return "OK: installed skill → " + file + "\n  run `tavrix-usb app --demo` to open the dashboard\n";
}

TEST(Install, WritesTheDocumentUnderHome) {
  // HOME need not exist yet; a trailing slash must not double the separator.
  for (const std::string suffix : {"", "/"}) {
    SCOPED_TRACE("HOME ends with '" + suffix + "'");
    TempDir dir;
    const std::string home = (dir.path() / "home/u").string();
    RunResult r = run_tavrix({.args = {"install"}, .env = {{"HOME", home + suffix}}});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, ok_output(home + "/" + kSkillPath));
    EXPECT_EQ(read_file(fs::path(home) / kSkillPath), assets::skill_md());
  }
}

TEST(Install, EmptyHomeWritesBelowTheWorkingDirectory) {
  TempDir dir;
  RunResult r = run_tavrix({.args = {"install"}, .env = {{"HOME", ""}}, .cwd = dir.path().string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, ok_output(kSkillPath));
  EXPECT_EQ(read_file(dir.path() / kSkillPath), assets::skill_md());
}

TEST(Install, ReplacesAnEarlierCopyWhole) {
  TempDir dir;
  // Longer than the document, so a write that does not truncate leaves a tail.
  dir.write(kSkillPath, std::string(assets::skill_md()) + "stale text from an older version\n");
  for (int run = 0; run < 2; ++run) {
    RunResult r = run_tavrix({.args = {"install"}, .env = {{"HOME", dir.path().string()}}});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  const fs::path folder = dir.path() / ".claude/skills/tavrix-usb";
  EXPECT_EQ(read_file(folder / "SKILL.md"), assets::skill_md());
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST(Install, NewFoldersAndTheFileLeaveTheirModeToTheUmask) {
  TempDir dir;
  const fs::path home = dir.path() / "home";
  RunResult r = run("/bin/sh", {.args = {"-c", "umask 0 && exec \"$0\" install", binary_path()},
                                .env = {{"HOME", home.string()}}});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const fs::path& folder : {home, home / ".claude", home / ".claude/skills/tavrix-usb"}) {
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::all) << folder;
  }
  const fs::perms read_write = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                               fs::perms::group_write | fs::perms::others_read | fs::perms::others_write;
  EXPECT_EQ(fs::status(home / kSkillPath).permissions(), read_write);
}

TEST(Install, FailuresNameTheStepAndThePathAndPrintNoOk) {
  struct Case {
    const char* what;
    const char* file_in_the_way;  // relative to HOME; empty for none
    const char* directory_in_the_way;
    const char* expected_error;  // with {home} for HOME
  };
  const Case cases[] = {
      {"a file where a parent directory must go", ".claude", "",
       "create {home}/.claude/skills/tavrix-usb: Not a directory (os error 20)"},
      {"a file where the skill directory must go", ".claude/skills/tavrix-usb", "",
       "create {home}/.claude/skills/tavrix-usb: File exists (os error 17)"},
      {"a directory where the document must go", "", ".claude/skills/tavrix-usb/SKILL.md",
       "write {home}/.claude/skills/tavrix-usb/SKILL.md: Is a directory (os error 21)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string home = dir.path().string();
    if (*c.file_in_the_way) dir.write(c.file_in_the_way, "not a directory");
    if (*c.directory_in_the_way) fs::create_directories(dir.path() / c.directory_in_the_way);
    RunResult r = run_tavrix({.args = {"install"}, .env = {{"HOME", home}}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    std::string expected = c.expected_error;
    expected.replace(expected.find("{home}"), 6, home);
    EXPECT_EQ(r.err, "ERROR: " + expected + "\n");
  }
}

}  // namespace
}  // namespace tavrix::test
