#!/bin/sh
# Writes a manual page from a program's own --help texts, so that the page says exactly what the
# program says: helpman.sh PROGRAM NAME "SUMMARY" VERSION OUT [COMMAND...]. Each COMMAND (quoted
# when it has words, e.g. "device info") gets a section with "PROGRAM COMMAND --help".
set -eu
program=$1 name=$2 summary=$3 version=$4 out=$5
shift 5

# The text as roff lines that are printed as they stand.
verbatim() {
    printf '.nf\n'
    sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
    printf '.fi\n'
}

upper=$(printf '%s' "$name" | tr '[:lower:]' '[:upper:]')
{
    printf '.TH %s 1 "" "%s %s" "User Commands"\n' "$upper" "$name" "$version"
    printf '.SH NAME\n%s \\- %s\n' "$name" "$summary"
    printf '.SH DESCRIPTION\n'
    "$program" --help | verbatim
    if [ $# -gt 0 ]; then
        printf '.SH COMMANDS\n'
        for command in "$@"; do
            printf '.SS "%s %s"\n' "$name" "$command"
            # shellcheck disable=SC2086 # a command of several words is several arguments
            "$program" $command --help | verbatim
        done
    fi
    printf '.SH SEE ALSO\n.BR vr7lon (1),\n.BR vr7sim (1)\n'
} >"$out"
