#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 600).
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
# New inputs go to build-fuzz/corpus/NAME (the committed seed corpus in
# tests/fuzz/corpus/NAME is only read); crashes to build-fuzz/crashes/NAME.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-600}
shift || true
pkgs=(clang-14 libfuzzer-14-dev libclang-rt-14-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi
bash scripts/setup.sh
build=build-fuzz
CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXT_FUZZ=ON -DVEXT_BENCH=OFF >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for d in tests/fuzz/corpus/*/; do targets+=("$(basename "$d")"); done
fi
cmake --build "$build" -j"$(nproc)" --target $(printf 'fuzz_%s ' "${targets[@]}")
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
# The parsers' warnings go to stdout, which -close_fd_mask=1 silences.  A
# finding in one target does not stop the others; the exit status says.
status=0
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t" "$build/crashes/$t"
  echo "fuzz: $t for ${secs}s"
  "$build/tests/fuzz/fuzz_$t" -max_total_time="$secs" -print_final_stats=1 -close_fd_mask=1 \
    -artifact_prefix="$build/crashes/$t/" "$build/corpus/$t" "tests/fuzz/corpus/$t" \
    >"$build/fuzz_$t.log" 2>&1 || status=1
  tail -n 12 "$build/fuzz_$t.log"
done
exit $status
