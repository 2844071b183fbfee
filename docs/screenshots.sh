#!/usr/bin/env bash
# Takes the README's screenshots of the wizard under Xvfb: the first page, and the decryption page opened
# with a container named on the command line. Usage: docs/screenshots.sh [build-dir]
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
docs="$(cd "$(dirname "$0")" && pwd)"
sandbox=/tmp/corvane-screenshots
rm -rf "$sandbox"
trap 'rm -rf "$sandbox"' EXIT
export CORVANE_HOME="$sandbox/program" XDG_CONFIG_HOME="$sandbox/config" XDG_DATA_HOME="$sandbox/data"
mkdir -p "$CORVANE_HOME" "$sandbox/mail"
: > "$sandbox/mail/report_alice@example.com.KVX"

shoot() {  # shoot OUTPUT [argument]
  local output="$1"
  shift
  OUTPUT="$output" xvfb-run -a -s "-screen 0 1024x600x24" bash -c '
    "$0" "$@" &
    pid=$!
    sleep 3
    # The window sits at (292, 147) and is 442 x 243.
    import -window root -crop 442x243+292+147 +repage "$OUTPUT"
    kill $pid' "$build/bin/corvane" "$@"
  echo "wrote $output"
}

shoot "$docs/wizard-start.png"
shoot "$docs/wizard-decrypt.png" "$sandbox/mail/report_alice@example.com.KVX"
