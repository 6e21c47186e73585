#!/usr/bin/env bash
# Runs Debian's own checker on an installed desktop entry or AppStream file, as
# a package's review would. Hints pass; warnings and errors fail.
# Usage: validate.sh desktop FILE | metainfo STAGE-DIR FILE
set -euo pipefail
case $1 in
    desktop)
        report=$(desktop-file-validate "$2" 2>&1) || { echo "$report" >&2; exit 1; }
        [ -n "$report" ] && echo "$report"
        if grep -E '(error|warning):' <<<"$report" >/dev/null; then exit 1; fi
        ;;
    metainfo)
        # The file alone, then the installed tree (its launchable must be there).
        appstreamcli validate --no-net "$3"
        appstreamcli validate-tree --no-net "$2"
        ;;
    *)
        echo "usage: $0 desktop FILE | metainfo STAGE-DIR FILE" >&2
        exit 2
        ;;
esac
