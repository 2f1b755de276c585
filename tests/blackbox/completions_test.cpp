#include "cli/completions.hpp"
#include "support/spawn.hpp"
#include "support/temp_dir.hpp"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace tavrix::test {
namespace {

namespace fs = std::filesystem;

using Candidates = std::set<std::string>;

// The scripts that ask each shell for its candidates live next to this file.
const fs::path kDrivers = fs::path(__FILE__).parent_path() / "shells";

// Splits a driver's output into one candidate set per line asked about.
std::vector<Candidates> split_rounds(const std::string& output) {
  std::vector<Candidates> rounds(1);
  std::size_t start = 0;
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(start, end - start);
    start = end + 1;
    if (line == "@@end") {
      rounds.emplace_back();
    } else if (!line.empty()) {
      rounds.back().insert(line);
    }
  }
  rounds.pop_back();  // the empty set after the last marker
  return rounds;
}

// Loads `script` into a real `shell` and asks it what it offers for each of
// `lines`, the cursor at the end of the line.
std::vector<Candidates> ask_shell(const std::string& shell, const fs::path& script, const std::string& program,
                                  const std::vector<std::string>& lines) {
  TempDir home;  // shells keep history and state under HOME
  RunOptions options{.env = {{"HOME", home.path().string()}}};
  std::string command = shell;
  if (shell == "elvish") {
    // elvish has its editor, and so its completion API, only when interactive
    // on a terminal: `script` gives it one and the driver is its rc file.
    std::string joined;
    for (const std::string& line : lines) joined += (joined.empty() ? "" : "\n") + line;
    const fs::path out = home.path() / "candidates";
    command = "script";
    options.args = {"-qec", "elvish -rc '" + (kDrivers / "complete.elv").string() + "'", "/dev/null"};
    options.env.insert({{"SHELL", "/bin/sh"},
                        {"COMPLETE_SCRIPT", script.string()},
                        {"COMPLETE_PROGRAM", program},
                        {"COMPLETE_LINES", joined},
                        {"COMPLETE_OUT", out.string()}});
    RunResult r = run(command, options);
    EXPECT_EQ(r.status, 0) << r.err;
    return split_rounds(read_file(out));
  }
  if (shell == "bash") options.args = {"--norc", "--noprofile", (kDrivers / "complete.bash").string()};
  if (shell == "zsh") options.args = {"-f", (kDrivers / "complete.zsh").string()};
  if (shell == "fish") options.args = {"--no-config", (kDrivers / "complete.fish").string()};
  options.args.push_back(script.string());
  options.args.push_back(program);
  options.args.insert(options.args.end(), lines.begin(), lines.end());
  RunResult r = run(command, options);
  EXPECT_EQ(r.status, 0) << r.err;
  return split_rounds(r.out);
}

struct Case {
  std::string line;  // what the user typed, cursor at the end
  Candidates expected;
};

void expect_offers(const std::string& shell, const fs::path& script, const std::string& program,
                   const std::vector<Case>& cases) {
  std::vector<std::string> lines;
  for (const Case& c : cases) lines.push_back(c.line);
  const std::vector<Candidates> got = ask_shell(shell, script, program, lines);
  ASSERT_EQ(got.size(), cases.size()) << "the " << shell << " driver answered for fewer lines";
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(got[i], cases[i].expected) << shell << " completing \"" << cases[i].line << "\"";
  }
}

const Candidates kSubcommands = {"app", "list", "mount", "unmount", "health", "install", "completions", "help"};

// The same answers are expected from every shell.
const std::vector<Case> kCases = {
    {"tavrix-usb ", kSubcommands},
    {"tavrix-usb --", {"--help", "--version"}},
    {"tavrix-usb app --", {"--help", "--port", "--tab-name", "--no-tab", "--demo", "--dev"}},
    {"tavrix-usb completions ", {"bash", "elvish", "fish", "powershell", "zsh"}},
    {"tavrix-usb completions z", {"zsh"}},
    {"tavrix-usb help ", kSubcommands},
    {"tavrix-usb help c", {"completions"}},
    // Nothing is made up where the user must type a value of their own.
    {"tavrix-usb app --port ", {}},
    {"tavrix-usb app --tab-name ", {}},
    {"tavrix-usb mount ", {}},
    // An option's value is not a subcommand or a positional, even when it
    // looks like one; a device id's colons do not split it.
    {"tavrix-usb app --port 80 --d", {"--demo", "--dev"}},
    {"tavrix-usb app --tab-name completions --n", {"--no-tab"}},
    {"tavrix-usb mount laptop:2e8a:0003 --", {"--help", "--port"}},
    {"tavrix-usb unmount --port 9000 laptop:2e8a:0003 --h", {"--help"}},
};

class CompletionsIn : public testing::TestWithParam<std::string> {};

TEST_P(CompletionsIn, TheShellOffersWhatTheParserAccepts) {
  const std::string shell = GetParam();
  RunResult r = run_tavrix({.args = {"completions", shell}});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  TempDir dir;
  const fs::path script = dir.write("tavrix-usb." + shell, r.out);
  expect_offers(shell, script, "tavrix-usb", kCases);
}

// Help texts are free text: quotes, brackets, colons, dollars and backslashes
// in them must neither break a script nor leak into the candidates.
std::unique_ptr<CLI::App> awkward_tree() {
  auto app = std::make_unique<CLI::App>("It's a [test]: $HOME `x` \\ \"q\"", "odd-tool");
  CLI::App* say = app->add_subcommand("say", "Don't [say]: $(echo no) `no` \\n \"quoted\" ‘curly’ — 100%");
  static std::string words;
  static bool loud = false;
  say->add_option("--words", words, "The words: 'single' [x] $y `z` \\")->type_name("<WORDS>");
  say->add_flag("--loud", loud, "{braces} (parens) @{at} #hash");
  app->add_subcommand("quiet", "");
  return app;
}

const std::vector<Case> kAwkwardCases = {
    {"odd-tool ", {"say", "quiet"}},
    {"odd-tool say --", {"--help", "--words", "--loud"}},
    {"odd-tool say --words ", {}},
};

TEST_P(CompletionsIn, AwkwardHelpTextsKeepTheScriptWhole) {
  const std::string shell = GetParam();
  auto tree = awkward_tree();
  std::optional<std::string> text = cli::completion_script(*tree, shell);
  ASSERT_TRUE(text);
  TempDir dir;
  const fs::path script = dir.write("odd-tool." + shell, *text);
  expect_offers(shell, script, "odd-tool", kAwkwardCases);
}

INSTANTIATE_TEST_SUITE_P(RealShells, CompletionsIn, testing::Values("bash", "zsh", "fish", "elvish"),
                         [](const auto& info) { return info.param; });

// No PowerShell is packaged for Debian, so its script is checked as text:
// every string closed, every bracket matched, and the tree's names present.
// Returns what is wrong, or empty text.
std::string powershell_structure_fault(const std::string& script) {
  std::string open;  // brackets not yet closed
  const std::string closing_of = "{}()";
  for (std::size_t i = 0; i < script.size(); ++i) {
    const char c = script[i];
    if (c == '#') {
      i = script.find('\n', i);
      if (i == std::string::npos) break;
    } else if (c == '\'') {
      // A single-quoted string ends at a quote not doubled.
      for (++i;; ++i) {
        if (i >= script.size()) return "unterminated string";
        if (script[i] == '\'' && (i + 1 >= script.size() || script[i + 1] != '\'')) break;
        if (script[i] == '\'') ++i;
      }
    } else if (c == '"') {
      return "double-quoted strings expand $ and ` in PowerShell";
    } else if (c == '{' || c == '(') {
      open += c;
    } else if (c == '}' || c == ')') {
      const char opener = c == '}' ? '{' : '(';
      if (open.empty() || open.back() != opener) return std::string("unmatched ") + c;
      open.pop_back();
    }
  }
  return open.empty() ? "" : "unclosed " + open;
}

TEST(PowerShellCompletions, ScriptIsWellFormedAndCoversTheTree) {
  RunResult r = run_tavrix({.args = {"completions", "powershell"}});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(powershell_structure_fault(r.out), "");
  EXPECT_NE(r.out.find("Register-ArgumentCompleter -Native -CommandName 'tavrix-usb' -ScriptBlock {"),
            std::string::npos);
  for (const std::string& name : kSubcommands) {
    EXPECT_NE(r.out.find("@{ Text = '" + name + "'; Tip = '"), std::string::npos) << name;
  }
  EXPECT_NE(r.out.find("'tavrix-usb app' = @(\n"
                       "            @{ Text = '-h'; Tip = 'Print this help message and exit'; TakesValue = $false }\n"
                       "            @{ Text = '--help'; Tip = 'Print this help message and exit'; TakesValue = $false }\n"
                       "            @{ Text = '--port'; Tip = '--port <PORT>'; TakesValue = $true }\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("'tavrix-usb completions#0' = @(\n"
                       "            @{ Text = 'bash'; Tip = 'bash' }\n"
                       "            @{ Text = 'elvish'; Tip = 'elvish' }\n"
                       "            @{ Text = 'fish'; Tip = 'fish' }\n"
                       "            @{ Text = 'powershell'; Tip = 'powershell' }\n"
                       "            @{ Text = 'zsh'; Tip = 'zsh' }\n"),
            std::string::npos);
}

TEST(PowerShellCompletions, AwkwardHelpTextsKeepTheScriptWhole) {
  auto tree = awkward_tree();
  std::optional<std::string> text = cli::completion_script(*tree, "powershell");
  ASSERT_TRUE(text);
  EXPECT_EQ(powershell_structure_fault(*text), "");
  EXPECT_NE(text->find("Tip = 'Don''t [say]: $(echo no) `no` \\n \"quoted\" ‘‘curly’’ — 100%'"), std::string::npos);
}

}  // namespace
}  // namespace tavrix::test
