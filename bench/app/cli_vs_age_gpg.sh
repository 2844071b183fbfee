#!/usr/bin/env bash
# The whole job from the command line, in one run: encrypting and decrypting a random file (256 MiB unless
# CORVANE_BENCH_MIB says otherwise) beside the bare cipher chain (`openssl enc -aes-192-cbc` of the file to
# /dev/null: one AES-192-CBC chain, which no one can run faster), age and gpg; and creating a 2048-bit key
# pair beside gpg's RSA-2048. Prints wall time and peak memory (from /usr/bin/time) and their ratios.
# The machine may be shared, so the jobs take turns, round after round (CORVANE_BENCH_RUNS rounds, 7 by
# default), and each figure is the median of its rounds: a busy moment then weighs on every job alike.
# On a virtual machine that hands freed memory back to its host, memory touched for the first time in a
# while is slow: writing 256 MiB of new file data took 0.06 s right after other writes and 0.5-0.7 s after a
# pause of three seconds here. A job that writes much (corvane writes its payload, then the container)
# would pay for that more than the others, so before every timed run each job gets the same untimed warm-up:
# 1 GiB written and deleted, which leaves the free memory warm, as it is on a machine of its own.
# Key generation: the mean of CORVANE_BENCH_KEYGEN_RUNS (3), as prime searches vary.
set -euo pipefail

build="${1:-build}"
cli="$build/bin/corvane-cli"
mib="${CORVANE_BENCH_MIB:-256}"
runs="${CORVANE_BENCH_RUNS:-7}"
keygenRuns="${CORVANE_BENCH_KEYGEN_RUNS:-3}"
[[ -x "$cli" ]] || { echo "corvane-cli not built in $build/bin" >&2; exit 1; }
for tool in age age-keygen gpg openssl /usr/bin/time; do
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

# once NAME SETUP COMMAND...: runs SETUP (untimed) then COMMAND once, appending "wall peak" to $work/NAME.
warm_memory() {
  dd if=/dev/zero of="$work/warm.bin" bs=1M count=1024 status=none
  rm -f "$work/warm.bin"
}

once() {
  local name="$1" setup="$2"
  shift 2
  eval "$setup"
  warm_memory
  /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" ||
    { echo "$name failed:" >&2; cat "$work/stderr.txt" >&2; exit 1; }
  cat "$work/time.txt" >>"$work/$name"
}

# median NAME: "median-wall largest-peak" of the runs recorded for NAME.
median() {
  sort -n "$work/$1" | awk '{ w[NR] = $1; if ($2 > m) m = $2 } END { printf "%.3f %d", w[int((NR + 1) / 2)], m }'
}

# mean NAME: "mean-wall largest-peak".
mean() {
  awk '{ t += $1; if ($2 > m) m = $2 } END { printf "%.2f %d", t / NR, m }' "$work/$1"
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
# The chain under a key and IV of the same sizes as corvane's (its key comes from the session key).
chainKey="$(od -An -tx1 -N24 /dev/urandom | tr -d ' \n')"
chainIv="$(od -An -tx1 -N16 /dev/urandom | tr -d ' \n')"
load_before="$(cut -d' ' -f1-3 /proc/loadavg)"

# Encryption rounds, then decryption rounds: jobs of one kind take turns, so each finds the machine (its
# caches, the memory the previous job freed) as the others find it.
for ((round = 0; round < runs; round++)); do
  once chain ":" openssl enc -aes-192-cbc -K "$chainKey" -iv "$chainIv" -in "$work/in/data.bin" -out /dev/null
  once cv_enc "rm -f '$work/in/data_me.KVX'" "$cli" -q encrypt --to me "$work/in/data.bin"
  once age_enc "rm -f '$work/data.age'" age -r "$agekey" -o "$work/data.age" "$work/in/data.bin"
  once gpg_enc "rm -f '$work/data.gpg'" "${gpgbatch[@]}" -e -z 0 -r bench@example.com -o "$work/data.gpg" \
    "$work/in/data.bin"
done
mv "$work/in/data_me.KVX" "$work/out/data_me.KVX"
for ((round = 0; round < runs; round++)); do
  once cv_dec "rm -f '$work/out/data.bin'" "$cli" -q decrypt "$work/out/data_me.KVX"
  once age_dec "rm -f '$work/data.age.out'" age -d -i "$work/age.key" -o "$work/data.age.out" "$work/data.age"
  once gpg_dec "rm -f '$work/data.gpg.out'" "${gpgbatch[@]}" -d -o "$work/data.gpg.out" "$work/data.gpg"
done
cmp -s "$work/in/data.bin" "$work/out/data.bin" || { echo "corvane round trip differs" >&2; exit 1; }
once cv_enc16 "rm -f '$work/in/small_me.KVX'" "$cli" -q encrypt --to me "$work/in/small.bin"
cp "$work/in/small_me.KVX" "$work/out/small_me.KVX"
once cv_dec16 "rm -f '$work/out/small.bin'" "$cli" -q decrypt "$work/out/small_me.KVX"
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"

for ((i = 0; i < keygenRuns; i++)); do
  once cv_keygen ":" "$cli" -q keygen --force --bits 2048 bench
  once gpg_keygen "export GNUPGHOME=\$(mktemp -d '$work/gnupg-keygen-XXXXXX')" "${gpgbatch[@]}" \
    --quick-gen-key "k <k@example.com>" rsa2048 default never
done

# row LABEL "wall peak" [REFERENCE-LABEL "wall peak"]...: one job, its figures and its ratios to the others.
row() {
  local label="$1" figures="$2"
  shift 2
  local line
  line="$(awk -v l="$label" -v f="$figures" 'BEGIN { split(f, a, " "); printf "%-24s %8.3fs %9d KB", l, a[1], a[2] }')"
  while (($# >= 2)); do
    line+="$(awk -v l="$1" -v f="$2" -v o="$figures" 'BEGIN {
      split(f, r, " "); split(o, a, " ");
      printf "   %5.2fx %s", (r[1] > 0 ? a[1] / r[1] : 0), l }')"
    shift 2
  done
  echo "$line"
}

chain="$(median chain)"
cv_enc="$(median cv_enc)" cv_dec="$(median cv_dec)"
age_enc="$(median age_enc)" age_dec="$(median age_dec)"
gpg_enc="$(median gpg_enc)" gpg_dec="$(median gpg_dec)"
echo
echo "machine: $(nproc) cores, $(uname -sr); file ${mib} MiB; median of $runs interleaved rounds;" \
  "load average before ${load_before}, after ${load_after}"
printf "%-24s %9s %12s   %s\n" job time "peak memory" "time as a ratio of"
row "openssl enc (the chain)" "$chain"
row "corvane encrypt" "$cv_enc" chain "$chain" age "$age_enc" gpg "$gpg_enc"
row "age -r" "$age_enc" chain "$chain"
row "gpg -e" "$gpg_enc" chain "$chain"
row "corvane decrypt" "$cv_dec" age "$age_dec" gpg "$gpg_dec"
row "age -d" "$age_dec"
row "gpg -d" "$gpg_dec"
row "keygen 2048 (mean)" "$(mean cv_keygen)" "RSA-2048 gpg" "$(mean gpg_keygen)"
row "gpg RSA-2048 (mean)" "$(mean gpg_keygen)"
read -r _ small_enc <"$work/cv_enc16"
read -r _ small_dec <"$work/cv_dec16"
echo "corvane peak memory, 16 MiB -> ${mib} MiB file: encrypt ${small_enc} -> ${cv_enc#* } KB," \
  "decrypt ${small_dec} -> ${cv_dec#* } KB"
awk -v e="$cv_enc" -v c="$chain" -v d="$cv_dec" -v a="$age_dec" -v m="${cv_enc#* }" -v n="${cv_dec#* }" 'BEGIN {
  split(e, E, " "); split(c, C, " "); split(d, D, " "); split(a, A, " ")
  re = E[1] / C[1]; rd = D[1] / A[1]
  printf "goals: encrypt <= 1.15x the chain (aim 1.05x): %.2fx, %s; decrypt (a tagged container) <= 0.5x age: %.2fx, %s;",
    re, (re <= 1.15 ? "met" : "NOT met"), rd, (rd <= 0.5 ? "met" : "NOT met")
  printf " peak memory < 16 MiB: %s\n", (m < 16384 && n < 16384 ? "met" : "NOT met") }'
