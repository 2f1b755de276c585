# Prints the candidates that fish offers for each command line, the cursor at
# its end: one per line without descriptions, followed by "@@end".
# Usage: fish --no-config complete.fish SCRIPT PROGRAM LINE...
source $argv[1]; or exit 1
for line in $argv[3..-1]
    complete -C $line | string replace -r '\t.*' ''
    echo '@@end'
end
