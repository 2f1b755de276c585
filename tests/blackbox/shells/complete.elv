# Run as the rc file of an interactive elvish (the edit: module exists only
# there). Loads the completion script $E:COMPLETE_SCRIPT and asks its argument
# completer about each line of $E:COMPLETE_LINES, split into words the way
# the editor does. Writes the candidates that match each line's last word,
# one per line and followed by "@@end", to $E:COMPLETE_OUT.
use str
try {
    eval (slurp < $E:COMPLETE_SCRIPT)
    var completer = $edit:completion:arg-completer[$E:COMPLETE_PROGRAM]
    for line [(str:split "\n" $E:COMPLETE_LINES)] {
        var words = [(str:split ' ' $line)]
        for candidate [($completer $@words)] {
            var stem = $candidate
            if (not-eq (kind-of $candidate) string) {
                set stem = $candidate[stem]
            }
            if (str:has-prefix $stem $words[-1]) {
                echo $stem >> $E:COMPLETE_OUT
            }
        }
        echo '@@end' >> $E:COMPLETE_OUT
    }
} catch e {
    echo '@@error '(to-string $e[reason]) >> $E:COMPLETE_OUT
} finally {
    exit
}
