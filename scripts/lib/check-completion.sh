#!/usr/bin/env bash
# Checks the bash and zsh completion installed under ROOT against the programs' own help: bash must
# offer every command, action and option that tallyhawk-cli and tallyhawk-server list, and the zsh
# functions must parse and name each of them.
# Usage: scripts/lib/check-completion.sh ROOT   (ROOT: where the packages are unpacked or installed)
set -uo pipefail
root="$1"
cli="$root/usr/bin/tallyhawk-cli"
server="$root/usr/bin/tallyhawk-server"
missing=0

# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion
source "$root/usr/share/bash-completion/completions/tallyhawk-cli"
source "$root/usr/share/bash-completion/completions/tallyhawk-server"

# offered FUNCTION WORD...: what bash offers for the last WORD.
offered() {
    local function="$1"
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}"
}

# expect WANTED FUNCTION WORD...: WANTED (one word a line) must all be offered.
expect() {
    local wanted="$1" function="$2" word
    shift 2
    local got
    got="$(offered "$function" "$@")"
    for word in $wanted; do
        if ! grep -qxF -- "$word" <<<"$got"; then
            echo "bash completion of '$*' lacks $word" >&2
            missing=$((missing + 1))
        fi
    done
}

# expect_zsh FILE WORDS: each word named in the zsh function.
expect_zsh() {
    local file="$1" word
    for word in $2; do
        if ! grep -qwF -- "$word" "$file"; then
            echo "$(basename "$file") lacks $word" >&2
            missing=$((missing + 1))
        fi
    done
}

zsh_cli="$root/usr/share/zsh/vendor-completions/_tallyhawk-cli"
zsh_server="$root/usr/share/zsh/vendor-completions/_tallyhawk-server"
for file in "$zsh_cli" "$zsh_server"; do
    zsh -n "$file" || { echo "$file does not parse" >&2; missing=$((missing + 1)); }
done

section() { sed -n "/^$1:/,/^\$/p" | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p'; }
options() { grep -oE -- '^  --[a-z-]+' | tr -d ' '; }

commands="$("$cli" --help | section Commands)"
expect "$commands" _tallyhawk_cli tallyhawk-cli ""
expect "--data-dir --version --help" _tallyhawk_cli tallyhawk-cli --
expect_zsh "$zsh_cli" "$commands"
for command in $commands; do
    actions="$("$cli" "$command" --help | section Actions)"
    if [ -z "$actions" ]; then
        wanted="$("$cli" "$command" --help | options)"
        expect "$wanted" _tallyhawk_cli tallyhawk-cli "$command" --
        expect_zsh "$zsh_cli" "$wanted"
        continue
    fi
    expect "$actions" _tallyhawk_cli tallyhawk-cli "$command" ""
    expect_zsh "$zsh_cli" "$actions"
    for action in $actions; do
        wanted="$("$cli" "$command" "$action" --help | options)"
        expect "$wanted" _tallyhawk_cli tallyhawk-cli "$command" "$action" --
        expect_zsh "$zsh_cli" "$wanted"
    done
done

# tallyhawk-server's help gives each command's options on the lines from the command to the next one.
usage="$("$server" --help | sed -n '/^Commands:/,/^$/p' | tail -n +2)"
commands="$(sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p' <<<"$usage")"
expect "$commands" _tallyhawk_server tallyhawk-server ""
expect "--version --help" _tallyhawk_server tallyhawk-server --
expect_zsh "$zsh_server" "$commands"
for command in $commands; do
    wanted="$(awk -v c="$command" '/^  [a-z]/ { on = ($1 == c) } on' <<<"$usage" | grep -oE -- '--[a-z-]+' | sort -u)"
    expect "$wanted" _tallyhawk_server tallyhawk-server "$command" --
    expect_zsh "$zsh_server" "$wanted"
done

[ "$missing" -eq 0 ]
