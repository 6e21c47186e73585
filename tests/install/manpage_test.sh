#!/usr/bin/env bash
# The installed manual page: no warning from man (run as a package review runs
# it), the program's version in its footer, and an entry of its own in the
# right section for every command, option, exit status and environment
# variable that `lianshuo --help` names, and for the variables the program reads.
# Usage: manpage_test.sh PROGRAM PAGE
set -euo pipefail
program=$1 page=$2
export LC_ALL=C.UTF-8 MANWIDTH=80
failures=0
fail() { echo "$page: $*" >&2; failures=$((failures + 1)); }

warnings=$(man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null) || fail "man failed"
[ -z "$warnings" ] || fail "man warns: $warnings"

text=$(man -l "$page")
help=$("$program" --help)
version=$("$program" --version)
grep -qF "${version/ /" "}" <<<"$(tail -n 1 <<<"$text")" || fail "the footer does not show '$version'"

section() {  # the rendered lines of one section, without its heading
    awk -v name="$1" '$0 == name { on = 1; next } /^[^ ]/ { on = 0 } on' <<<"$text"
}
has_entry() {  # section item: the item starts an entry (a tag, or one of a list of tags)
    # grep reads to the end (no -q): an early exit would fail the pipe under pipefail.
    section "$1" | grep -E "^ {7}(.*, )?$(sed 's/[.*[]/\\&/g' <<<"$2")(,| |$)" >/dev/null
}

for heading in 名称 概要 描述 命令 选项 退出状态 环境 文件 示例; do
    grep -qx "$heading" <<<"$text" || fail "no section $heading"
done
# Command lines of --help start with two spaces and the command's words.
while read -r command; do
    has_entry 命令 "$command" || fail "no entry for the command '$command'"
done < <(grep -oE '^  [a-z]+( [a-z]+)?' <<<"$help" | sed 's/^  //')
while read -r option; do
    has_entry 选项 "$option" || fail "no entry for the option $option"
done < <(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u)
while read -r status; do
    has_entry 退出状态 "$status" || fail "no entry for the exit status $status"
done < <(sed -n '/^退出状态/,/^$/p' <<<"$help" | grep -oE '^  [0-9]+' | tr -d ' ')
while read -r variable; do
    has_entry 环境 "$variable" || fail "no entry for the variable $variable"
done < <({ grep -oE '[A-Z]+_[A-Z_]+' <<<"$help"
           printf '%s\n' SSL_CERT_FILE CURL_CA_BUNDLE http_proxy https_proxy no_proxy; } | sort -u)

[ "$failures" -eq 0 ] || exit 1
echo "man page covers every command, option, exit status and variable of --help"
