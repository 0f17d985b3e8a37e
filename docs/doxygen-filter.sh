#!/bin/sh
# Doxygen's input filter for the engine's headers, which are written with plain // comments and no
# Doxygen markup: a comment block above a declaration becomes its /// documentation, and a comment
# after a member (behind ; , { or }) becomes a ///< one. A block that opens with a group's comment,
# set off from the member's own by an empty // line, keeps the group's part as a plain comment:
# glued to the first member, it would become that member's summary. Above a class, struct, union
# or enum the empty // lines only separate the paragraphs of its description, which stays whole.
awk '
function flush(next_line,    i, cut) {
    cut = 0
    if (next_line !~ /^[ \t]*(template[ \t]*<|(class|struct|union|enum)([ \t{]|$))/)
        for (i = 1; i <= n; i++)
            if (buf[i] ~ /^[ \t]*\/\/[ \t]*$/)
                cut = i
    for (i = 1; i <= n; i++) {
        line = buf[i]
        if (i > cut)
            sub(/\/\//, "///", line)
        print line
    }
    n = 0
}
/^[ \t]*\/\/([^\/]|$)/ { buf[++n] = $0; next }
{ flush($0); print }
END { flush("") }
' "$1" | sed -e 's|\([;,{}]\)\([[:space:]]*\)//\([^/]\)|\1\2///<\3|'
