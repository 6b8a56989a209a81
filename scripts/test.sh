#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
build=${VEXT_BUILD:-build}
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy

# Every parser and the texture pipeline once more under AddressSanitizer and
# UndefinedBehaviorSanitizer, fed the broken files the tests make.
san="${build}-sanitize"
cmake -S . -B "$san" -DCMAKE_BUILD_TYPE=Debug -DVEXT_SANITIZE=ON -DVEXT_BENCH=OFF >/dev/null
fuzz=()
for d in tests/fuzz/corpus/*/; do fuzz+=("fuzz_$(basename "$d")"); done
cmake --build "$san" -j"$(nproc)" --target engine_tests spielmod_tests klangmod_tests sound_tests "${fuzz[@]}"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
"$san/tests/engine_tests" --gtest_brief=1 \
  --gtest_filter='Image*:Texture*:TexDef*:TexFile*:TexList*:Scene*:CamPath*'
"$san/tests/spielmod_tests" --gtest_brief=1
"$san/tests/klangmod_tests" --gtest_brief=1
"$san/tests/sound_tests" --gtest_brief=1
# Every fuzz corpus file through its parser, each in a block of exactly its size.
for t in "${fuzz[@]}"; do "$san/tests/fuzz/$t" "tests/fuzz/corpus/${t#fuzz_}" >/dev/null; done
unset LSAN_OPTIONS UBSAN_OPTIONS

ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600
