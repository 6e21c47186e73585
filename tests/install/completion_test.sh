#!/usr/bin/env bash
# The installed bash completion, called as bash calls it (COMP_WORDS and
# COMP_CWORD set, then the function that `complete` names): commands, options
# in step with --help, service names, and the interfaces saved in the settings
# file that the command line being completed names.
# Usage: completion_test.sh PROGRAM COMPLETION-SCRIPT
set -euo pipefail
export LC_ALL=C.UTF-8
program=$1
# shellcheck source=/dev/null
source "$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# Settings files as the program writes them: GBK, one section per saved interface.
settings() {  # file name...
    local file=$1 name
    shift
    for name in "$@"; do
        printf '[短网址选项_%s]\n接口地址=http://%s/api?u=#长网址#\n' "$name" "$name"
    done | iconv -f UTF-8 -t GB18030 >"$file"
}
settings "$work/a.ini" s1.example.test s2.example.test other.test
settings "$work/b.ini" s9.example.test 短网.test
touch "$work/unrelated.ini"

complete_words() {  # word... (the last one is being completed): the sorted candidates
    local function
    function=$(complete -p lianshuo | sed -E 's/.*-F ([^ ]+).*/\1/')
    COMP_WORDS=("$program" "$@")
    COMP_CWORD=$#
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    "$function" lianshuo "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}
expect() {  # description expected words...
    local description=$1 expected=$2 actual
    shift 2
    actual=$(complete_words "$@")
    if [ "$actual" != "$expected" ]; then
        echo "$description: '$*' offers '$actual', expected '$expected'" >&2
        failures=$((failures + 1))
    fi
}

# The saved interfaces, from --settings (both spellings) or from LIANSHUO_SETTINGS.
expect "interfaces of --settings" "other.test s1.example.test s2.example.test " \
    --settings "$work/a.ini" convert --service custom --interface ""
expect "a prefix of an interface" "s1.example.test s2.example.test " \
    convert --settings "$work/a.ini" --interface s
expect "--interface=, split at '='" "s1.example.test s2.example.test " \
    files --settings = "$work/a.ini" --interface = s
LIANSHUO_SETTINGS=$work/b.ini expect "interfaces of LIANSHUO_SETTINGS" "s9.example.test 短网.test " \
    convert --interface ""
LIANSHUO_SETTINGS=$work/b.ini expect "a name in Chinese, as UTF-8" "短网.test " convert --interface 短
LIANSHUO_SETTINGS=$work/b.ini expect "--settings over LIANSHUO_SETTINGS" "other.test " \
    convert --settings "$work/a.ini" --interface o
expect "interfaces show" "other.test s1.example.test s2.example.test " \
    interfaces --settings "$work/a.ini" show ""
expect "interfaces delete" "other.test " interfaces --settings "$work/a.ini" delete o
LIANSHUO_SETTINGS=$work/unrelated.ini expect "no saved interface" "" convert --interface ""

# Commands, actions, services.
expect "commands" "convert expand files history interfaces qr " ""
expect "a command's prefix" "files " f
expect "interfaces actions" "add delete export import list presets show test " interfaces ""
expect "interfaces test" "other.test " interfaces --settings "$work/a.ini" test o
expect "presets of the program" "shlink short.io sink spoo.me switchy " interfaces add --preset s
expect "formats" "json " interfaces add --format j
expect "add's own options" "--error --expression --extract " interfaces add --e
expect "history actions" "check export forget list " history ""
expect "history list's options" "--service --settings --since " history list --s
expect "history forget's options" "--before --service --settings " history forget --
expect "history export's options" "--plain --service --settings --since " history export f --
expect "-h is no command" "convert expand files history interfaces qr " -h ""
expect "history check's options" "--before --jobs --retries --service --settings --since " history check --
expect "qr's options" "--png --size " qr --
expect "a service to forget" "baidu " history forget --service b
expect "services" "baidu custom tinyurl weibo " convert --service ""
expect "--service=" "tinyurl " files --service = t
expect "no value offered for a free option" "" convert --interval ""

# Options: each command its own, and all of them together exactly those of --help
# (which does not name itself and --version).
expect "convert's options" \
    "--add-query --clipboard --copy --hosts --input --interface --interval --jobs --json --no-history --no-save --quiet --refresh --retries --save-dir --service --settings --shorten-short --token --verbose --verify " \
    convert --service baidu --
help_options=$({ "$program" --help | grep -oE -- '--[a-z][a-z0-9-]*'; echo --help; echo --version; } |
               sort -u | tr '\n' ' ')
offered=$({ complete_words --; complete_words convert --; complete_words files --
            complete_words expand --
            complete_words interfaces --; complete_words interfaces add --
            complete_words interfaces export n f --; complete_words interfaces test n --
            complete_words history list --; complete_words history export f --
            complete_words history forget --; complete_words history check --
            complete_words qr --; } |
          tr ' ' '\n' | grep . | sort -u | tr '\n' ' ')
if [ "$offered" != "$help_options" ]; then
    echo "options offered: '$offered'; --help lists: '$help_options'" >&2
    failures=$((failures + 1))
fi
expect "files takes no convert option" "" files --no-s
expect "expand's options" "--hosts --input --jobs --json --no-history --quiet --retries --settings " \
    expand --
expect "after --, no options" "" convert -- --no

[ "$failures" -eq 0 ] || exit 1
echo "completion offers commands, options, services and saved interfaces"
