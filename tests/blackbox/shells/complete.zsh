# Prints the candidates that zsh's completion system offers for each command
# line: types the line and a Tab into an interactive zsh on a pseudo-terminal
# and records every match that the completion functions add. Each line's
# candidates come one per line, followed by "@@end".
# Usage: zsh -f complete.zsh SCRIPT PROGRAM LINE...
zmodload zsh/zpty || exit 1
local script=$1 out=$(mktemp) ready round=0
shift 2
trap 'rm -f $out; zpty -d shell 2>/dev/null' EXIT

zpty shell zsh -f -i || exit 1
zpty -w shell "PROMPT='' RPROMPT=''; bindkey -e; autoload -Uz compinit; compinit -u -D; source ${(q)script}"
# Matches go to the file as the functions add them; a marker ends each round.
zpty -w shell "compadd() {
    if [[ \${@[1,(i)(-|--)]} == *-(O|A|D)\\ * ]]; then
        builtin compadd \"\$@\"; return
    fi
    local -a hits
    builtin compadd -A hits \"\$@\"
    (( \$#hits )) && print -rl -- \$hits >> ${(q)out}
    builtin compadd \"\$@\"
}"
zpty -w shell "__done() { print -r -- @@end >> ${(q)out}; comppostfuncs=(__done) }; comppostfuncs=(__done)"

for line in "$@"; do
    (( ++round ))
    # Ctrl-U clears whatever the previous round left on the line.
    zpty -w -n shell $'\x15'"$line"$'\t'
    for i in {1..400}; do
        zpty -r -t shell ready 2>/dev/null
        (( $(grep -c '^@@end$' $out 2>/dev/null) >= round )) && break
        sleep 0.05
    done
done
cat $out
