#pragma once
// The skill installer: writes the compiled-in skill document where coding
// agents look for skills, under the user's home directory.

#include <expected>
#include <string>

namespace tavrix::cli {

// The skill directory for `home`, the raw value of HOME (nullptr when unset).
// Unset or invalid UTF-8 means "/root"; empty leaves the path relative.
std::string skill_directory(const char* home);

// Creates the skill directory with its parents and writes SKILL.md into it,
// replacing any earlier copy. Returns the file's path, or
// "create {directory}: {reason}" / "write {file}: {reason}".
std::expected<std::string, std::string> install_skill_file(const std::string& directory);

}  // namespace tavrix::cli
