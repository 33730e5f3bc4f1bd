#!/bin/bash
# The bash completion of calverdon-cli, sourced into plain bash: completing
# a subcommand from its start, and the code types after barcode --type.
#   completion-test.sh <completion script>
set -u
source "$1"

# Completes the last of the given words, as bash would with the cursor at
# the end of the line, and prints the candidates sorted on one line.
complete_line()
{
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _calverdon_cli calverdon-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' '
}

failed=0
expect()
{
    local expected=$1
    shift
    local got
    got=$(complete_line "$@")
    if [[ $got != "$expected" ]]; then
        echo "completing \"$*\": \"$got\", expected \"$expected\""
        failed=1
    fi
}

expect "decode" calverdon-cli de
expect "2of5i code128 code39 ean128" calverdon-cli barcode --type ""
expect "--keep-incomplete" calverdon-cli extract --ke
exit $failed
