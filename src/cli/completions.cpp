#include "cli/completions.hpp"

#include "cli/command_line.hpp"
#include "cli/handlers.hpp"

#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <fmt/ranges.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrix::cli {

namespace {

// ---------------------------------------------------------------------------
// What the scripts need to know of the command tree, read off CLI11 once.
//
// Every script tracks the same three things about the words before the
// cursor: the subcommand path reached so far ("tavrix-usb app"), how many
// positional words that command has taken, and whether the last word is an
// option still waiting for its value (then nothing but that value's choices
// may be offered). A word names a subcommand only before the command's first
// positional and before "--".

struct OptionInfo {
  std::vector<std::string> names;  // "-h", "--help"
  std::string help;
  bool takes_value = false;
  std::string value_name;  // "PORT"
  std::vector<std::string> choices;

  // "--port <PORT>": how the option is written when it takes a value.
  std::string synopsis(const std::string& name) const {
    return takes_value ? fmt::format("{} <{}>", name, value_name) : name;
  }
};

struct PositionalInfo {
  std::string name;
  bool required = false;
  std::vector<std::string> choices;
};

struct SubcommandInfo {
  std::string name;
  std::string about;
};

struct CommandInfo {
  std::vector<std::string> path;  // {"tavrix-usb", "app"}
  std::vector<OptionInfo> options;
  std::vector<PositionalInfo> positionals;
  std::vector<SubcommandInfo> subcommands;

  std::string key() const { return fmt::format("{}", fmt::join(path, " ")); }
};

std::string upper_snake(std::string_view text) {
  std::string out;
  for (const char c : text) {
    out += std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : '_';
  }
  return out;
}

// The declared value name without its angle brackets. CLI11 appends the
// description of each check after a ':', so that part is cut off.
std::string value_name_of(CLI::Option& option, std::string_view fallback) {
  std::string name = option.get_type_name();
  name = name.substr(0, name.find(':'));
  if (name.size() >= 2 && name.front() == '<' && name.back() == '>') {
    name = name.substr(1, name.size() - 2);
  }
  return name.empty() ? upper_snake(fallback) : name;
}

void describe(CLI::App& app, std::vector<std::string> path, std::vector<CommandInfo>& out) {
  CommandInfo info;
  info.path = path;
  for (CLI::Option* option : app.get_options()) {
    if (option->get_group().empty()) {
      continue;  // hidden
    }
    if (!option->nonpositional()) {
      info.positionals.push_back({.name = option->get_name(true),
                                  .required = option->get_required(),
                                  .choices = accepted_values(*option)});
      continue;
    }
    OptionInfo o;
    o.help = option->get_description();
    o.takes_value = option->get_items_expected_max() > 0;
    for (const std::string& name : option->get_snames()) o.names.push_back("-" + name);
    for (const std::string& name : option->get_lnames()) o.names.push_back("--" + name);
    if (o.takes_value) {
      o.value_name = value_name_of(*option, option->get_lnames().empty() ? option->get_snames().front()
                                                                           : option->get_lnames().front());
      o.choices = accepted_values(*option);
    }
    info.options.push_back(std::move(o));
  }
  std::vector<CLI::App*> subcommands = app.get_subcommands([](CLI::App* sub) { return !sub->get_name().empty(); });
  for (CLI::App* sub : subcommands) {
    info.subcommands.push_back({sub->get_name(), sub->get_description()});
  }
  out.push_back(std::move(info));
  for (CLI::App* sub : subcommands) {
    std::vector<std::string> sub_path = path;
    sub_path.push_back(sub->get_name());
    describe(*sub, std::move(sub_path), out);
  }
}

// ---------------------------------------------------------------------------
// Quoting. Every text from the tree reaches a script only through these.

std::string replace_all(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i, from.size()) == from) {
      out += to;
      i += from.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

// POSIX single quotes, for bash and zsh.
std::string sh_quote(std::string_view text) { return "'" + replace_all(text, "'", R"('\'')") + "'"; }

// fish single quotes: only backslash and quote are special inside.
std::string fish_quote(std::string_view text) {
  return "'" + replace_all(replace_all(text, "\\", "\\\\"), "'", "\\'") + "'";
}

// elvish single quotes: a quote is doubled.
std::string elvish_quote(std::string_view text) { return "'" + replace_all(text, "'", "''") + "'"; }

// PowerShell single quotes: a quote is doubled, and PowerShell also takes the
// typographic single quotes for quotes.
std::string powershell_quote(std::string_view text) {
  std::string out(text);
  for (const std::string_view quote : {"'", "\u2018", "\u2019", "\u201a", "\u201b"}) {
    out = replace_all(out, quote, std::string(quote) + std::string(quote));
  }
  return "'" + out + "'";
}

// A word that a shell will split and expand again (zsh's "(a b)" actions,
// fish's -a lists): every ASCII character other than letters, digits and
// "-_./+@%," gets a backslash.
std::string backslash_word(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80 && !std::isalnum(u) && std::string_view("-_./+@%,").find(c) == std::string_view::npos) {
      out += '\\';
    }
    out += c;
  }
  return out;
}

std::string join_mapped(const std::vector<std::string>& items, std::string_view separator,
                        const std::function<std::string(const std::string&)>& map) {
  std::string out;
  for (const std::string& item : items) {
    if (!out.empty()) out += separator;
    out += map(item);
  }
  return out;
}

// A shell identifier made from the program name: "tavrix-usb" -> "tavrix_usb".
std::string identifier(std::string_view program) {
  std::string out;
  for (const char c : program) {
    out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return out;
}

// ---------------------------------------------------------------------------
// bash: one function reads the line up to the cursor itself (COMP_WORDS splits
// device ids at their colons) and offers the candidates that start with the
// word being completed.

std::string bash_script(const std::vector<CommandInfo>& commands) {
  const std::string program = commands.front().path.front();
  const std::string fn = "_" + identifier(program);
  std::string takes_value, subcommand, values, options, subcommand_names, positional_values;
  for (const CommandInfo& c : commands) {
    const std::string key = c.key();
    for (const OptionInfo& o : c.options) {
      if (!o.takes_value) continue;
      for (const std::string& name : o.names) {
        takes_value += fmt::format("                {}) pending=\"$word\" ;;\n", sh_quote(key + " " + name));
        if (!o.choices.empty()) {
          values += fmt::format("            {}) candidates=({}) ;;\n", sh_quote(key + " " + name),
                                join_mapped(o.choices, " ", sh_quote));
        }
      }
    }
    std::vector<std::string> names;
    for (const OptionInfo& o : c.options) names.insert(names.end(), o.names.begin(), o.names.end());
    options += fmt::format("            {}) candidates=({}) ;;\n", sh_quote(key), join_mapped(names, " ", sh_quote));
    std::vector<std::string> subs;
    for (const SubcommandInfo& s : c.subcommands) {
      subcommand += fmt::format("                {}) command=\"$command $word\" ;;\n", sh_quote(key + " " + s.name));
      subs.push_back(s.name);
    }
    if (!subs.empty()) {
      subcommand_names += fmt::format("                {}) candidates+=({}) ;;\n", sh_quote(key),
                                      join_mapped(subs, " ", sh_quote));
    }
    for (std::size_t i = 0; i < c.positionals.size(); ++i) {
      if (c.positionals[i].choices.empty()) continue;
      positional_values += fmt::format("            {}) candidates+=({}) ;;\n", sh_quote(fmt::format("{} {}", i, key)),
                                       join_mapped(c.positionals[i].choices, " ", sh_quote));
    }
  }

  return fmt::format(R"(# bash completion for {program}
# Enable it for this shell with:  source <({program} completions bash)

{fn}() {{
    local line="${{COMP_LINE:0:COMP_POINT}}"
    local -a words=()
    read -ra words <<< "$line"
    # A blank before the cursor starts a new, still empty word.
    [[ "$line" == *[[:space:]] ]] && words+=('')

    local command={root} positionals=0 pending='' options_done=0 word i
    for ((i = 1; i < ${{#words[@]}} - 1; i++)); do
        word="${{words[i]}}"
        if [[ -n "$pending" ]]; then
            pending=''
        elif ((!options_done)) && [[ "$word" == -* ]]; then
            [[ "$word" == -- ]] && options_done=1
            case "$command $word" in
{takes_value}            esac
        elif ((options_done || positionals)); then
            positionals=$((positionals + 1))
        else
            case "$command $word" in
{subcommand}                *) positionals=1 ;;
            esac
        fi
    done

    local current="${{words[${{#words[@]}} - 1]}}" candidate
    local -a candidates=()
    if [[ -n "$pending" ]]; then
        case "$command $pending" in
{values}        esac
    elif ((!options_done)) && [[ "$current" == -* ]]; then
        case "$command" in
{options}        esac
    else
        if ((!options_done && !positionals)); then
            case "$command" in
{subcommand_names}            esac
        fi
        case "$positionals $command" in
{positional_values}        esac
    fi
    COMPREPLY=()
    for candidate in "${{candidates[@]}}"; do
        [[ "$candidate" == "$current"* ]] && COMPREPLY+=("$candidate")
    done
    return 0
}}

complete -F {fn} {program_word}
)",
                     fmt::arg("program", program), fmt::arg("fn", fn), fmt::arg("root", sh_quote(program)),
                     fmt::arg("takes_value", takes_value), fmt::arg("subcommand", subcommand),
                     fmt::arg("values", values), fmt::arg("options", options),
                     fmt::arg("subcommand_names", subcommand_names),
                     fmt::arg("positional_values", positional_values), fmt::arg("program_word", sh_quote(program)));
}

// ---------------------------------------------------------------------------
// zsh: one function per command around _arguments; a command with
// subcommands hands the rest of the line to the chosen one's function.

// Text inside an _arguments "[description]" or a message.
std::string zsh_arguments_text(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '[' || c == ']' || c == ':' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string zsh_function(const std::vector<std::string>& path) {
  return "_" + fmt::format("{}", fmt::join(path, "__"));
}

std::string zsh_command_function(const CommandInfo& c) {
  std::vector<std::string> rules;
  for (const OptionInfo& o : c.options) {
    const std::string exclusions = o.names.size() > 1 ? fmt::format("({})", fmt::join(o.names, " ")) : "";
    const std::string help = o.help.empty() ? "" : "[" + zsh_arguments_text(o.help) + "]";
    for (const std::string& name : o.names) {
      std::string rule = exclusions + name;
      if (o.takes_value) {
        // "--name=": the value may follow in the same word after "=" or in the next word.
        rule += name.starts_with("--") ? "=" : "+";
      }
      rule += help;
      if (o.takes_value) {
        const std::string action =
            o.choices.empty() ? " " : "(" + join_mapped(o.choices, " ", backslash_word) + ")";
        rule += ":" + zsh_arguments_text(o.value_name) + ":" + action;
      }
      rules.push_back(sh_quote(rule));
    }
  }
  if (!c.subcommands.empty()) {
    // Positionals of a command that also has subcommands are not completed.
    rules.push_back(sh_quote(":command:->command"));
    rules.push_back(sh_quote("*::argument:->argument"));
  } else {
    for (const PositionalInfo& p : c.positionals) {
      const std::string action = p.choices.empty() ? " " : "(" + join_mapped(p.choices, " ", backslash_word) + ")";
      rules.push_back(sh_quote((p.required ? ":" : "::") + zsh_arguments_text(p.name) + ":" + action));
    }
  }

  std::string body;
  if (rules.empty()) {
    body = "    _message 'no more arguments'\n";
  } else if (c.subcommands.empty()) {
    body = fmt::format("    _arguments -S \\\n        {}\n", fmt::join(rules, " \\\n        "));
  } else {
    std::string described, dispatch;
    for (const SubcommandInfo& s : c.subcommands) {
      described += fmt::format("                {}\n", sh_quote(replace_all(s.name, ":", "\\:") + ":" + s.about));
      std::vector<std::string> sub_path = c.path;
      sub_path.push_back(s.name);
      dispatch += fmt::format("                ({}) {} && ret=0 ;;\n", sh_quote(s.name), zsh_function(sub_path));
    }
    body = fmt::format(R"(    local curcontext="$curcontext" state line ret=1
    typeset -A opt_args
    _arguments -C -S \
        {rules} && ret=0
    case $state in
        (command)
            local -a commands
            commands=(
{described}            )
            _describe -t commands {label} commands && ret=0
            ;;
        (argument)
            curcontext="${{curcontext%:*:*}}:{context}-$line[1]:"
            case $line[1] in
{dispatch}            esac
            ;;
    esac
    return ret
)",
                       fmt::arg("rules", fmt::join(rules, " \\\n        ")),
                       fmt::arg("described", described),
                       fmt::arg("label", sh_quote(c.key() + " command")),
                       fmt::arg("context", fmt::join(c.path, "-")), fmt::arg("dispatch", dispatch));
  }
  return fmt::format("{}() {{\n{}}}\n", zsh_function(c.path), body);
}

std::string zsh_script(const std::vector<CommandInfo>& commands) {
  const std::string program = commands.front().path.front();
  const std::string root = zsh_function(commands.front().path);
  std::string out = fmt::format(R"(#compdef {0}
# zsh completion for {0}. Enable it with either
#   source <({0} completions zsh)                  (after compinit), or
#   {0} completions zsh > ~/.zfunc/_{0}      (with ~/.zfunc in fpath before compinit)

)",
                                program);
  for (const CommandInfo& c : commands) {
    out += zsh_command_function(c) + "\n";
  }
  // Loaded from fpath, this file is the body of the root function: define
  // everything, then complete. Sourced, it only registers the function.
  out += fmt::format(R"(if [[ "$funcstack[1]" == {0} ]]; then
    {0} "$@"
else
    compdef {0} {1}
fi
)",
                     sh_quote(root), sh_quote(program));
  return out;
}

// ---------------------------------------------------------------------------
// fish: a helper function works out where the line stands; every completion
// carries a condition on it.

std::string fish_script(const std::vector<CommandInfo>& commands) {
  const std::string program = commands.front().path.front();
  const std::string prefix = "__" + identifier(program);
  std::string takes_value, subcommand, lines;
  auto at = [&](const std::string& key, std::string_view position) {
    std::string condition = fmt::format("{}_at {}", prefix, fish_quote(key));
    if (!position.empty()) condition += fmt::format(" {}", position);
    return fish_quote(condition);
  };
  for (const CommandInfo& c : commands) {
    const std::string key = c.key();
    std::vector<std::string> valued, subs;
    for (const OptionInfo& o : c.options) {
      std::string line = fmt::format("complete -c {} -n {}", fish_quote(program), at(key, ""));
      for (const std::string& name : o.names) {
        line += name.starts_with("--") ? fmt::format(" -l {}", fish_quote(name.substr(2)))
                                       : fmt::format(" -s {}", fish_quote(name.substr(1)));
        if (o.takes_value) valued.push_back(name);
      }
      if (o.takes_value) {
        line += " -x";
        if (!o.choices.empty()) line += " -a " + fish_quote(join_mapped(o.choices, " ", backslash_word));
      }
      const std::string description = o.help.empty() && o.takes_value ? o.value_name : o.help;
      if (!description.empty()) line += " -d " + fish_quote(description);
      lines += line + "\n";
    }
    for (const SubcommandInfo& s : c.subcommands) {
      lines += fmt::format("complete -c {} -n {} -a {} -d {}\n", fish_quote(program), at(key, "sub"),
                           fish_quote(backslash_word(s.name)), fish_quote(s.about));
      subs.push_back(s.name);
    }
    for (std::size_t i = 0; i < c.positionals.size(); ++i) {
      if (c.positionals[i].choices.empty()) continue;
      lines += fmt::format("complete -c {} -n {} -a {}\n", fish_quote(program), at(key, std::to_string(i)),
                           fish_quote(join_mapped(c.positionals[i].choices, " ", backslash_word)));
    }
    if (!valued.empty()) {
      takes_value += fmt::format("    test \"$command\" = {}; and contains -- $word {}; and return 0\n",
                                 fish_quote(key), join_mapped(valued, " ", fish_quote));
    }
    if (!subs.empty()) {
      subcommand += fmt::format("    test \"$command\" = {}; and contains -- $word {}; and return 0\n",
                                fish_quote(key), join_mapped(subs, " ", fish_quote));
    }
  }

  return fmt::format(R"(# fish completion for {program}. Enable it with
#   {program} completions fish > ~/.config/fish/completions/{program}.fish

function {p}_takes_value -a command word
{takes_value}    return 1
end

function {p}_is_subcommand -a command word
{subcommand}    return 1
end

# Prints three lines for the words before the cursor: the subcommand path,
# how many positional words it has taken, and an option awaiting its value.
function {p}_state
    set -l words (commandline -opc)
    set -e words[1]
    set -l command {root}
    set -l positionals 0
    set -l pending ''
    set -l options_done 0
    for word in $words
        if test -n "$pending"
            set pending ''
        else if test $options_done = 0; and string match -q -- '-*' $word
            if test "$word" = --
                set options_done 1
            else if {p}_takes_value "$command" $word
                set pending $word
            end
        else if test $options_done = 1 -o $positionals -gt 0
            set positionals (math $positionals + 1)
        else if {p}_is_subcommand "$command" $word
            set command "$command $word"
        else
            set positionals 1
        end
    end
    printf '%s\n' $command $positionals "$pending" $options_done
end

# True when the line stands at subcommand path $argv[1]. A second argument
# narrows it: "sub" for where a subcommand name may come, a number N for
# where positional N (from 0) comes.
function {p}_at
    set -l state ({p}_state)
    test "$state[1]" = "$argv[1]"; or return 1
    set -q argv[2]; or return 0
    test -z "$state[3]"; or return 1
    if test "$argv[2]" = sub
        test "$state[2]" = 0 -a "$state[4]" = 0
    else
        test "$state[2]" = "$argv[2]"
    end
end

complete -c {program_word} -f
{lines})",
                     fmt::arg("program", program), fmt::arg("p", prefix), fmt::arg("root", fish_quote(program)),
                     fmt::arg("takes_value", takes_value), fmt::arg("subcommand", subcommand),
                     fmt::arg("lines", lines), fmt::arg("program_word", fish_quote(program)));
}

// ---------------------------------------------------------------------------
// elvish: one argument completer; the tree is written as maps keyed by the
// subcommand path and the completer walks them.

std::string elvish_list(const std::vector<std::string>& items) {
  return "[" + join_mapped(items, " ", elvish_quote) + "]";
}

std::string elvish_script(const std::vector<CommandInfo>& commands) {
  const std::string program = commands.front().path.front();
  std::string subcommands, options, positionals, option_values;
  for (const CommandInfo& c : commands) {
    const std::string key = elvish_quote(c.key());
    std::vector<std::string> subs;
    for (const SubcommandInfo& s : c.subcommands) {
      subs.push_back(elvish_list({s.name, s.about.empty() ? s.name : s.name + "  " + s.about}));
    }
    subcommands += fmt::format("        &{}=[{}]\n", key, fmt::join(subs, " "));
    std::vector<std::string> opts;
    for (const OptionInfo& o : c.options) {
      for (const std::string& name : o.names) {
        const std::string display = o.help.empty() ? o.synopsis(name) : o.synopsis(name) + "  " + o.help;
        opts.push_back(fmt::format("[{} {} ${}]", elvish_quote(name), elvish_quote(display),
                                   o.takes_value ? "true" : "false"));
        if (!o.choices.empty()) {
          option_values += fmt::format("        &{}={}\n", elvish_quote(c.key() + " " + name), elvish_list(o.choices));
        }
      }
    }
    options += fmt::format("        &{}=[{}]\n", key, fmt::join(opts, " "));
    std::vector<std::string> lists;
    for (const PositionalInfo& p : c.positionals) lists.push_back(elvish_list(p.choices));
    positionals += fmt::format("        &{}=[{}]\n", key, fmt::join(lists, " "));
  }
  if (option_values.empty()) option_values = "        &\n";

  return fmt::format(R"(# elvish completion for {program}. Enable it with this line in rc.elv:
#   eval ({program} completions elvish | slurp)

use str

set edit:completion:arg-completer[{program_word}] = {{|@words|
    # Per subcommand path: its subcommands as [name display], its options as
    # [name display takes-value], and the choices of each positional.
    var subcommands = [
{subcommands}    ]
    var options = [
{options}    ]
    var positionals = [
{positionals}    ]
    var option-values = [
{option_values}    ]

    var command = {root}
    var positional = (num 0)
    var pending = ''
    var options-done = $false
    for word $words[1..-1] {{
        if (!=s $pending '') {{
            set pending = ''
        }} elif (and (not $options-done) (str:has-prefix $word -)) {{
            if (==s $word --) {{
                set options-done = $true
            }}
            for option $options[$command] {{
                if (and (==s $option[0] $word) $option[2]) {{
                    set pending = $word
                }}
            }}
        }} elif (or $options-done (> $positional 0)) {{
            set positional = (+ $positional 1)
        }} else {{
            var found = $false
            for sub $subcommands[$command] {{
                if (==s $sub[0] $word) {{
                    set found = $true
                }}
            }}
            if $found {{
                set command = $command' '$word
            }} else {{
                set positional = (num 1)
            }}
        }}
    }}

    var current = $words[-1]
    if (!=s $pending '') {{
        var key = $command' '$pending
        if (has-key $option-values $key) {{
            all $option-values[$key]
        }}
    }} elif (and (not $options-done) (str:has-prefix $current -)) {{
        for option $options[$command] {{
            edit:complex-candidate $option[0] &display=$option[1]
        }}
    }} else {{
        if (and (not $options-done) (== $positional 0)) {{
            for sub $subcommands[$command] {{
                edit:complex-candidate $sub[0] &display=$sub[1]
            }}
        }}
        if (< $positional (count $positionals[$command])) {{
            all $positionals[$command][$positional]
        }}
    }}
}}
)",
                     fmt::arg("program", program), fmt::arg("program_word", elvish_quote(program)),
                     fmt::arg("root", elvish_quote(program)), fmt::arg("subcommands", subcommands),
                     fmt::arg("options", options), fmt::arg("positionals", positionals),
                     fmt::arg("option_values", option_values));
}

// ---------------------------------------------------------------------------
// PowerShell: one native argument completer over hashtables keyed by the
// subcommand path; CompletionResult needs a non-empty tooltip.

std::string powershell_entry(std::string_view text, std::string_view tip, std::string_view extra = "") {
  return fmt::format("@{{ Text = {}; Tip = {}{} }}", powershell_quote(text), powershell_quote(tip.empty() ? text : tip),
                     extra);
}

std::string powershell_array(const std::vector<std::string>& entries) {
  if (entries.empty()) return "@()";
  return fmt::format("@(\n            {}\n        )", fmt::join(entries, "\n            "));
}

std::string powershell_script(const std::vector<CommandInfo>& commands) {
  const std::string program = commands.front().path.front();
  std::string subcommands, options, positional_values, option_values;
  for (const CommandInfo& c : commands) {
    const std::string key = c.key();
    std::vector<std::string> subs, opts;
    for (const SubcommandInfo& s : c.subcommands) subs.push_back(powershell_entry(s.name, s.about));
    subcommands += fmt::format("        {} = {}\n", powershell_quote(key), powershell_array(subs));
    for (const OptionInfo& o : c.options) {
      for (const std::string& name : o.names) {
        opts.push_back(powershell_entry(name, o.help.empty() ? o.synopsis(name) : o.help,
                                        o.takes_value ? "; TakesValue = $true" : "; TakesValue = $false"));
        if (!o.choices.empty()) {
          std::vector<std::string> values;
          for (const std::string& v : o.choices) values.push_back(powershell_entry(v, v));
          option_values += fmt::format("        {} = {}\n", powershell_quote(key + " " + name), powershell_array(values));
        }
      }
    }
    options += fmt::format("        {} = {}\n", powershell_quote(key), powershell_array(opts));
    for (std::size_t i = 0; i < c.positionals.size(); ++i) {
      if (c.positionals[i].choices.empty()) continue;
      std::vector<std::string> values;
      for (const std::string& v : c.positionals[i].choices) values.push_back(powershell_entry(v, v));
      positional_values +=
          fmt::format("        {} = {}\n", powershell_quote(fmt::format("{}#{}", key, i)), powershell_array(values));
    }
  }

  return fmt::format(R"(# PowerShell completion for {program}. Enable it with this line in $PROFILE:
#   {program} completions powershell | Out-String | Invoke-Expression

Register-ArgumentCompleter -Native -CommandName {program_word} -ScriptBlock {{
    param($wordToComplete, $commandAst, $cursorPosition)

    # Per subcommand path: its subcommands, its options, and the choices of
    # option values ("path option") and of positionals ("path#index").
    $subcommands = @{{
{subcommands}    }}
    $options = @{{
{options}    }}
    $optionValues = @{{
{option_values}    }}
    $positionalValues = @{{
{positional_values}    }}

    # Only the words before the one under the cursor say where the line stands.
    $words = @($commandAst.CommandElements |
        Where-Object {{ $_.Extent.EndOffset -lt $cursorPosition }} |
        Select-Object -Skip 1 |
        ForEach-Object {{ $_.Extent.Text }})
    $command = {root}
    $positional = 0
    $pending = $null
    $optionsDone = $false
    foreach ($word in $words) {{
        if ($null -ne $pending) {{
            $pending = $null
        }} elseif (-not $optionsDone -and $word.StartsWith('-')) {{
            if ($word -ceq '--') {{
                $optionsDone = $true
            }} elseif (@($options[$command] | Where-Object {{ $_.TakesValue -and $_.Text -ceq $word }}).Count -gt 0) {{
                $pending = $word
            }}
        }} elseif ($optionsDone -or $positional -gt 0) {{
            $positional++
        }} elseif (@($subcommands[$command] | Where-Object {{ $_.Text -ceq $word }}).Count -gt 0) {{
            $command = $command + ' ' + $word
        }} else {{
            $positional = 1
        }}
    }}

    $candidates = @()
    $kind = 'ParameterValue'
    if ($null -ne $pending) {{
        $key = $command + ' ' + $pending
        if ($optionValues.ContainsKey($key)) {{
            $candidates = $optionValues[$key]
        }}
    }} elseif (-not $optionsDone -and $wordToComplete.StartsWith('-')) {{
        $candidates = $options[$command]
        $kind = 'ParameterName'
    }} else {{
        if (-not $optionsDone -and $positional -eq 0) {{
            $candidates += $subcommands[$command]
        }}
        $key = $command + '#' + $positional
        if ($positionalValues.ContainsKey($key)) {{
            $candidates += $positionalValues[$key]
        }}
    }}
    $candidates |
        Where-Object {{ $null -ne $_ -and $_.Text.StartsWith($wordToComplete, [System.StringComparison]::Ordinal) }} |
        ForEach-Object {{ [System.Management.Automation.CompletionResult]::new($_.Text, $_.Text, $kind, $_.Tip) }}
}}
)",
                     fmt::arg("program", program), fmt::arg("program_word", powershell_quote(program)),
                     fmt::arg("root", powershell_quote(program)), fmt::arg("subcommands", subcommands),
                     fmt::arg("options", options), fmt::arg("option_values", option_values),
                     fmt::arg("positional_values", positional_values));
}

struct Generator {
  std::string_view shell;
  std::string (*script)(const std::vector<CommandInfo>&);
};

constexpr Generator kGenerators[] = {
    {"bash", bash_script}, {"elvish", elvish_script}, {"fish", fish_script},
    {"powershell", powershell_script}, {"zsh", zsh_script},
};

// The parser accepts exactly the shells that have a generator here.
static_assert([] {
  if (std::size(kGenerators) != kCompletionShells.size()) return false;
  for (std::size_t i = 0; i < kCompletionShells.size(); ++i) {
    if (kGenerators[i].shell != kCompletionShells[i]) return false;
  }
  return true;
}());

}  // namespace

std::optional<std::string> completion_script(CLI::App& tree, std::string_view shell) {
  for (const Generator& generator : kGenerators) {
    if (generator.shell == shell) {
      std::vector<CommandInfo> commands;
      describe(tree, {tree.get_name()}, commands);
      return generator.script(commands);
    }
  }
  return std::nullopt;
}

Outcome run_completions(const CompletionsArgs& args) {
  ParsedValues values;
  std::unique_ptr<CLI::App> tree = make_command_tree(values);
  std::optional<std::string> script = completion_script(*tree, args.shell);
  if (!script) {
    // The parser admits only the shells above; this guards a caller that skips it.
    return std::unexpected(fmt::format("no completion script for shell {}", args.shell));
  }
  std::fwrite(script->data(), 1, script->size(), stdout);
  std::fflush(stdout);
  return {};
}

}  // namespace tavrix::cli
