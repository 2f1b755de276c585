#include "cli/console.hpp"

#include "platform/terminal.hpp"

#include <cstdio>
#include <string>

namespace tavrix::cli {

namespace {

constexpr char kEsc = '\x1b';

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// One write per line, flushed at once, so lines from a long-running server
// reach a pipe promptly and never interleave mid-line.
void emit(std::FILE* stream, const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

void styled(std::FILE* stream, bool terminal, std::string_view styles, std::string_view tag,
            std::string_view message) {
  std::string line;
  if (terminal) {
    line.append(styles).append(tag).append("\x1b[0m ").append(message);
  } else {
    line.append(tag).append(" ").append(strip_ansi(message));
  }
  line.push_back('\n');
  emit(stream, line);
}

}  // namespace

std::string strip_ansi(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == kEsc && i + 1 < text.size() && text[i + 1] == '[') {
      size_t end = i + 2;
      while (end < text.size() && !is_ascii_letter(text[end])) {
        ++end;
      }
      i = end;  // the final letter (or the end of text) is skipped by the loop
      continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

void print_ok(std::string_view message) {
  styled(stdout, platform::stdout_is_terminal(), "\x1b[32m\x1b[1m", "OK:", message);
}

void print_hint(std::string_view message) {
  styled(stderr, platform::stderr_is_terminal(), "\x1b[2m", "Hint:", message);
}

void print_warn(std::string_view message) {
  styled(stderr, platform::stderr_is_terminal(), "\x1b[33m\x1b[1m", "WARN:", message);
}

void print_error(std::string_view message) {
  styled(stderr, platform::stderr_is_terminal(), "\x1b[31m\x1b[1m", "ERROR:", message);
}

void print_line(std::string_view text) {
  std::string line = platform::stdout_is_terminal() ? std::string(text) : strip_ansi(text);
  line.push_back('\n');
  emit(stdout, line);
}

}  // namespace tavrix::cli
