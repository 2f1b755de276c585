#include "cli/install.hpp"

#include "assets/assets.hpp"
#include "cli/console.hpp"
#include "cli/handlers.hpp"
#include "platform/text.hpp"

#include <fmt/format.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrix::cli {

namespace {

constexpr std::string_view kSkillPath = ".claude/skills/tavrix-usb";

// mkdir -p: creates every missing component of `directory` with 0777 before
// the umask. Returns 0, or the errno of the step that failed.
int make_directories(const std::string& directory) {
  std::size_t end = 0;
  while (end != std::string::npos) {
    end = directory.find('/', end + 1);
    const std::string prefix = directory.substr(0, end);
    if (prefix.empty() || prefix.back() == '/') {
      continue;  // the root, or a run of slashes
    }
    if (::mkdir(prefix.c_str(), 0777) == 0) {
      continue;
    }
    const int error = errno;
    if (error != EEXIST) {
      return error;
    }
    // Something already stands there. A file in the middle of the path makes
    // the next mkdir fail with the system's own reason; only the last
    // component has to be checked here.
    struct stat info {};
    if (end == std::string::npos && (::stat(prefix.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))) {
      return EEXIST;
    }
  }
  return 0;
}

// Writes `content` to `path`, creating it or replacing its whole content.
// Returns 0, or the errno of the step that failed.
int write_file(const std::string& path, std::string_view content) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    return errno;
  }
  int error = 0;
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  if (::close(fd) != 0 && error == 0) {
    error = errno;
  }
  return error;
}

}  // namespace

std::string skill_directory(const char* home) {
  std::string base = (home != nullptr && platform::is_valid_utf8(home)) ? home : "/root";
  if (!base.empty() && base.back() != '/') {
    base += '/';
  }
  return base + std::string(kSkillPath);
}

std::expected<std::string, std::string> install_skill_file(const std::string& directory) {
  if (const int error = make_directories(directory); error != 0) {
    return std::unexpected(fmt::format("create {}: {}", directory, platform::os_error_text(error)));
  }
  const std::string file = directory + "/SKILL.md";
  if (const int error = write_file(file, assets::skill_md()); error != 0) {
    return std::unexpected(fmt::format("write {}: {}", file, platform::os_error_text(error)));
  }
  return file;
}

Outcome run_install(const InstallArgs&) {
  auto file = install_skill_file(skill_directory(std::getenv("HOME")));
  if (!file) {
    return std::unexpected(file.error());
  }
  print_ok(fmt::format("installed skill → {}", *file));
  print_line("  run `tavrix-usb app --demo` to open the dashboard");
  return {};
}

}  // namespace tavrix::cli
