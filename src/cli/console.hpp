#pragma once
// The program's console lines: "OK:" on stdout; "Hint:", "WARN:", "ERROR:" on
// stderr. On a terminal the tag is styled; elsewhere no escape code is
// written and control sequences are stripped from the message.

#include <string>
#include <string_view>

namespace tavrix::cli {

void print_ok(std::string_view message);
void print_hint(std::string_view message);
void print_warn(std::string_view message);
void print_error(std::string_view message);

// `text` and a line break on stdout; control sequences stripped unless stdout
// is a terminal.
void print_line(std::string_view text);

// `text` without its ESC '[' ... letter control sequences; an unterminated one
// is dropped to the end, a lone ESC is kept.
std::string strip_ansi(std::string_view text);

}  // namespace tavrix::cli
