#include "assets/assets.hpp"
#include "cli/install.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace tavrix::cli {
namespace {

TEST(SkillDirectory, FollowsHome) {
  struct Case {
    const char* home;
    std::string expected;
  };
  const Case cases[] = {
      {"/home/u", "/home/u/.claude/skills/tavrix-usb"},
      {"/home/u/", "/home/u/.claude/skills/tavrix-usb"},
      {"/", "/.claude/skills/tavrix-usb"},
      {"", ".claude/skills/tavrix-usb"},  // relative: taken from the working directory
      {nullptr, "/root/.claude/skills/tavrix-usb"},
      {"/home/\xff\xfe", "/root/.claude/skills/tavrix-usb"},  // not UTF-8
  };
  for (const Case& c : cases) {
    EXPECT_EQ(skill_directory(c.home), c.expected) << (c.home ? c.home : "(unset)");
  }
}

// Agents find the skill by its front matter, so it must stay byte for byte.
TEST(SkillDocument, FrontMatterIsExact) {
  constexpr std::string_view kFrontMatter =
      "---\n"
      "name: tavrix-usb\n"
      "description: >\n"
      "  USB device mesh dashboard. See every USB device across the whole Tavrix\n"
      "  ecosystem — your laptop, its WSL2 / Orvane Desktop, this cloud container,\n"
      "  the Azure VM and its WSL2, and workcells — in one Orvane webview, with\n"
      "  Local/Cloud filters and per-device mount/unmount/reset/test/force-class/sniff.\n"
      "  Trigger words: usb, usb devices, usb dashboard, list usb, mount usb, unmount\n"
      "  usb, attach usb, usbip, usb/ip, quorrel usb, mount my dev board, rp2040 to\n"
      "  wsl2, mount device to container, usb mesh, where is my usb device, force hid,\n"
      "  force mass storage, sniff usb, usb passthrough, plug in dev board.\n"
      "---\n"
      "\n";
  const std::string_view doc = assets::skill_md();
  EXPECT_EQ(doc.substr(0, kFrontMatter.size()), kFrontMatter);
  EXPECT_TRUE(doc.ends_with("\n"));
}

TEST(SkillDocument, HasTheSectionsInOrder) {
  const std::vector<std::string_view> headings = {
      "\n# tavrix-usb — USB device mesh dashboard\n",
      "\n## Run it\n",
      "\n## Drive it (same endpoints the buttons fire)\n",
      "\n## Routing matrix (v1)\n",
      "\n## Status\n",
  };
  const std::string_view doc = assets::skill_md();
  std::size_t at = 0;
  for (std::string_view heading : headings) {
    const std::size_t found = doc.find(heading, at);
    ASSERT_NE(found, std::string_view::npos) << heading;
    at = found + heading.size();
  }
}

}  // namespace
}  // namespace tavrix::cli
