#pragma once
// Shell completion scripts, generated from the command tree that the parser
// uses, so the scripts always offer what the parser accepts.

#include <optional>
#include <string>
#include <string_view>

namespace CLI {
class App;
}

namespace tavrix::cli {

// The completion script of `tree` for `shell` (one of kCompletionShells),
// completing the program named as the tree's root; nullopt for any other shell.
std::optional<std::string> completion_script(CLI::App& tree, std::string_view shell);

}  // namespace tavrix::cli
