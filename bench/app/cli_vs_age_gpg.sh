#!/usr/bin/env bash
# The whole job from the command line, beside age and gpg in the same run: encrypting and decrypting a
# random file (256 MiB unless CORVANE_BENCH_MIB says otherwise), and creating a 2048-bit key pair beside
# gpg's RSA-2048. Prints wall time and peak memory (from /usr/bin/time) and their ratios; each figure is
# the best of CORVANE_BENCH_RUNS runs (3 by default; key generation: the mean, as prime searches vary).
set -euo pipefail

build="${1:-build}"
cli="$build/bin/corvane-cli"
mib="${CORVANE_BENCH_MIB:-256}"
runs="${CORVANE_BENCH_RUNS:-3}"
[[ -x "$cli" ]] || { echo "corvane-cli not built in $build/bin" >&2; exit 1; }
for tool in age age-keygen gpg /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed" >&2; exit 0; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/corvane-bench-XXXXXX")"
# gpg starts an agent per home folder; each is stopped before the folders go.
cleanup() {
  for home in "$work"/gnupg*; do gpgconf --homedir "$home" --kill all 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
export CORVANE_HOME="$work/corvane" XDG_CONFIG_HOME="$work/config" GNUPGHOME="$work/gnupg"
mkdir -p "$CORVANE_HOME" "$XDG_CONFIG_HOME" "$GNUPGHOME" "$work/in" "$work/out"
chmod 700 "$GNUPGHOME"

# measure NAME SETUP COMMAND...: runs SETUP (untimed) then COMMAND, $runs times; records the best wall time
# and the largest peak resident size in $work/NAME.
measure() {
  local name="$1" setup="$2"
  shift 2
  local best="" peak=0
  for ((i = 0; i < runs; i++)); do
    eval "$setup"
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" ||
      { echo "$name failed:" >&2; cat "$work/stderr.txt" >&2; exit 1; }
    read -r wall rss <"$work/time.txt"
    best=$(awk -v a="$best" -v b="$wall" 'BEGIN { print (a == "" || b < a) ? b : a }')
    ((rss > peak)) && peak=$rss
  done
  echo "$best $peak" >"$work/$name"
}

# measure_mean NAME SETUP COMMAND...: as measure, but the mean wall time.
measure_mean() {
  local name="$1" setup="$2"
  shift 2
  local total=0 peak=0
  for ((i = 0; i < runs; i++)); do
    eval "$setup"
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" ||
      { echo "$name failed:" >&2; cat "$work/stderr.txt" >&2; exit 1; }
    read -r wall rss <"$work/time.txt"
    total=$(awk -v a="$total" -v b="$wall" 'BEGIN { print a + b }')
    ((rss > peak)) && peak=$rss
  done
  echo "$(awk -v t="$total" -v n="$runs" 'BEGIN { printf "%.2f", t / n }') $peak" >"$work/$name"
}

echo "preparing a ${mib} MiB random file and keys..."
head -c "$((mib * 1024 * 1024))" /dev/urandom >"$work/in/data.bin"
head -c "$((16 * 1024 * 1024))" /dev/urandom >"$work/in/small.bin"
"$cli" -q keygen --bits 1024 me
"$cli" -q install "$CORVANE_HOME/me.KVK"
age-keygen -o "$work/age.key" 2>/dev/null
agekey="$(awk '/public key/ { print $4 }' "$work/age.key")"
gpgbatch=(gpg --batch --quiet --pinentry-mode loopback --passphrase '' --trust-model always)
"${gpgbatch[@]}" --quick-gen-key "bench <bench@example.com>" rsa2048 sign,encr never 2>/dev/null

measure cv_enc "rm -f '$work/in/data_me.KVX'" "$cli" -q encrypt --to me "$work/in/data.bin"
cp "$work/in/data_me.KVX" "$work/out/data_me.KVX"
measure cv_dec "rm -f '$work/out/data.bin'" "$cli" -q decrypt "$work/out/data_me.KVX"
cmp -s "$work/in/data.bin" "$work/out/data.bin" || { echo "corvane round trip differs" >&2; exit 1; }
measure cv_enc16 "rm -f '$work/in/small_me.KVX'" "$cli" -q encrypt --to me "$work/in/small.bin"
cp "$work/in/small_me.KVX" "$work/out/small_me.KVX"
measure cv_dec16 "rm -f '$work/out/small.bin'" "$cli" -q decrypt "$work/out/small_me.KVX"

measure age_enc "rm -f '$work/data.age'" age -r "$agekey" -o "$work/data.age" "$work/in/data.bin"
measure age_dec "rm -f '$work/data.age.out'" age -d -i "$work/age.key" -o "$work/data.age.out" "$work/data.age"
measure gpg_enc "rm -f '$work/data.gpg'" "${gpgbatch[@]}" -e -z 0 -r bench@example.com -o "$work/data.gpg" \
  "$work/in/data.bin"
measure gpg_dec "rm -f '$work/data.gpg.out'" "${gpgbatch[@]}" -d -o "$work/data.gpg.out" "$work/data.gpg"

measure_mean cv_keygen ":" "$cli" -q keygen --force --bits 2048 bench
measure_mean gpg_keygen "export GNUPGHOME=\$(mktemp -d '$work/gnupg-keygen-XXXXXX')" "${gpgbatch[@]}" --quick-gen-key "k <k@example.com>" rsa2048 \
  default never

row() {  # row LABEL CORVANE AGE GPG (files holding "wall peak")
  local label="$1"
  read -r cw cm <"$work/$2"
  if [[ -n "$3" ]]; then read -r aw am <"$work/$3"; else aw=""; am=""; fi
  read -r gw gm <"$work/$4"
  awk -v l="$label" -v cw="$cw" -v cm="$cm" -v aw="$aw" -v am="$am" -v gw="$gw" -v gm="$gm" 'BEGIN {
    rt_age = (aw == "" || aw == 0) ? "-" : sprintf("%.2fx", cw / aw)
    rm_age = (am == "" || am == 0) ? "-" : sprintf("%.2fx", cm / am)
    rt_gpg = (gw == 0) ? "-" : sprintf("%.2fx", cw / gw)
    rm_gpg = (gm == 0) ? "-" : sprintf("%.2fx", cm / gm)
    printf "%-22s %8.2fs %8s %8.2fs %8s %8s %8s | %7d KB %8s %8s\n", l, cw, (aw == "" ? "-" : aw "s"), gw, rt_age, rt_gpg, "", cm, rm_age, rm_gpg
  }'
}

echo
echo "machine: $(nproc) cores, $(uname -sr); file ${mib} MiB; best of $runs runs (key generation: mean)"
printf "%-22s %9s %8s %9s %8s %8s %8s | %10s %8s %8s\n" job corvane age gpg "/age" "/gpg" "" "peak" "/age" "/gpg"
row "encrypt" cv_enc age_enc gpg_enc
row "decrypt" cv_dec age_dec gpg_dec
row "keygen 2048 / RSA-2048" cv_keygen "" gpg_keygen
read -r _ small_enc <"$work/cv_enc16"
read -r _ small_dec <"$work/cv_dec16"
read -r _ big_enc <"$work/cv_enc"
read -r _ big_dec <"$work/cv_dec"
echo "corvane peak memory, 16 MiB -> ${mib} MiB file: encrypt ${small_enc} -> ${big_enc} KB, decrypt ${small_dec} -> ${big_dec} KB"
echo "goals: encrypt <= 0.90x age's time, decrypt <= 0.70x age's time, peak memory flat in the file size"
