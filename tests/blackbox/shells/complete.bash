# Prints the candidates that bash's programmable completion offers for each
# command line, the cursor at its end: one per line, followed by "@@end".
# Usage: bash --norc --noprofile complete.bash SCRIPT PROGRAM LINE...
source "$1" || exit 1
registration=$(complete -p "$2") || exit 1
read -ra registration_words <<< "$registration"
function_name=''
for ((i = 0; i < ${#registration_words[@]}; i++)); do
    [[ "${registration_words[i]}" == -F ]] && function_name="${registration_words[i + 1]}"
done
[[ -n "$function_name" ]] || exit 1
shift 2

for COMP_LINE in "$@"; do
    # What bash itself sets before it calls the function.
    COMP_POINT=${#COMP_LINE}
    read -ra COMP_WORDS <<< "$COMP_LINE"
    [[ "$COMP_LINE" == *' ' ]] && COMP_WORDS+=('')
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    "$function_name" "$2" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    ((${#COMPREPLY[@]})) && printf '%s\n' "${COMPREPLY[@]}"
    echo '@@end'
done
