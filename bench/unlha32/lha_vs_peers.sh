#!/usr/bin/env bash
# Speed of libunlha32.so beside other programs, in one run on the same files (best of three each):
#   packing 32 MiB of text      vs jlha   (ratio: jlha time / our time; archive sizes too), with -lh5-,
#                                         -lh6- and -lh7- (jlha's -o5, -o6, -o7)
#   packing 256 MiB of random   vs cp     (ratio: cp time / our time)
#   extracting a 32 MiB -lh5-   vs lhasa  (ratio: lhasa time / our time)
# Usage: lha_vs_peers.sh BUILD_DIR
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
run="$build/bin/unlha32_run"
[[ -x "$run" ]] || { echo "unlha32_run not built in $build/bin" >&2; exit 1; }
work="$(mktemp -d /tmp/unlha32-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# 32 MiB of real text: the system's C headers, repeated if there are not enough of them.
while [[ ! -f text.txt || $(stat -c %s text.txt) -lt 33554432 ]]; do
  find /usr/include -name '*.h' -type f -print0 | sort -z | xargs -0 cat >> text.txt 2>/dev/null || true
done
truncate -s 33554432 text.txt
head -c 268435456 /dev/urandom > random.bin

# best_of3 COMMAND...: prints the shortest wall time of three runs, in seconds. Outputs of the previous
# run are removed before the clock starts, so deleting big files is not timed.
best_of3() {
  local best=""
  for _ in 1 2 3; do
    local start end t
    rm -rf ours.lzh jlha.lzh copy.bin xo xl
    sync
    start=$(date +%s.%N)
    "$@" > /dev/null 2>&1
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')
    if [[ -z "$best" ]] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  printf '%.3f' "$best"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
sizeRatio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a / b }'; }

pack_ours() { "$run" "a ${2:-} \"ours.lzh\" \"$1\""; }
pack_jlha() { jlha "a${2:-}" jlha.lzh "$1"; }
copy_cp() { cp "$1" copy.bin; }
extract_ours() { mkdir xo && "$run" "x \"text.lzh\" xo/"; }
extract_lhasa() { mkdir xl && (cd xl && lhasa xq ../text.lzh); }

echo "machine: $(nproc) cores, $(uname -sr); load average $(cut -d' ' -f1-3 /proc/loadavg)"
if command -v jlha > /dev/null; then
  echo "pack 32 MiB text     ours: time     size      jlha: time     size    speed ratio  size ratio"
  for m in 5 6 7; do
    ours=$(best_of3 pack_ours text.txt "-lh$m-")
    ourSize=$(stat -c %s ours.lzh)
    peer=$(best_of3 pack_jlha text.txt "o$m")
    peerSize=$(stat -c %s jlha.lzh)
    printf "  -lh%s-             %8.3fs %9d      %8.3fs %9d    %6.2fx      %s\n" "$m" "$ours" "$ourSize" \
      "$peer" "$peerSize" "$(ratio "$peer" "$ours")" "$(sizeRatio "$ourSize" "$peerSize")"
  done
  echo "  (speed ratio: jlha time / our time, goal >= 2; size ratio: our size / jlha's, goal <= 1)"
else
  ours=$(best_of3 pack_ours text.txt)
  echo "pack 32 MiB text:    ours ${ours}s  size $(stat -c %s ours.lzh)  (jlha not installed)"
fi

ours=$(best_of3 pack_ours random.bin)
peer=$(best_of3 copy_cp random.bin)
echo "pack 256 MiB random: ours ${ours}s  cp ${peer}s  speed ratio $(ratio "$peer" "$ours")x (goal >= 0.5)"
rm -f copy.bin ours.lzh random.bin

"$run" "a -lh5- \"text.lzh\" \"text.txt\"" > /dev/null
ours=$(best_of3 extract_ours)
cmp -s xo/text.txt text.txt || { echo "extraction differs" >&2; exit 1; }
rm -rf xo
if command -v lhasa > /dev/null; then
  peer=$(best_of3 extract_lhasa)
  echo "extract 32 MiB lh5:  ours ${ours}s  lhasa ${peer}s  speed ratio $(ratio "$peer" "$ours")x (goal >= 1)"
else
  echo "extract 32 MiB lh5:  ours ${ours}s  (lhasa not installed)"
fi
