#!/usr/bin/env bash
# The engine program as a user runs it: start, frames, quit; the failures
# that end it; the sound module on its own; no leaks of our own.
set -euo pipefail
build=$1
src=$2
fail() { echo "FAIL: $*"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$src/data" "$work/data"
cd "$work/data"

# 1. A normal headless run prints the module messages and ends with 0.
out=$(timeout 120 "$build/Vext-Engine" --headless --frames 100 2>&1) || fail "normal run ended with $?: $out"
for line in "initGL.." "OK GL initalisiert" "Warte auf Klangmodul" "gefunden" "Version richtig?" "Ja" \
            "checke CPU-Version:..." "Klangmodul PPC Version gefunden" "Engine: Gamemodul, kannst gehen..." \
            "KlangModul: Sound modul verabschiedet sich" "100 Bilder in"; do
  grep -qF -- "$line" <<<"$out" || fail "missing \"$line\" in: $out"
done

# 2. A start level that does not exist ends with status 2 and names the level.
out=$(timeout 60 "$build/Vext-Engine" --headless --frames 10 --level nirgendwo 2>&1) && status=0 || status=$?
[ "$status" -eq 2 ] || fail "--level nirgendwo: status $status"
grep -qF "Level nirgendwo nicht gefunden" <<<"$out" || fail "no level message: $out"

# 3. Our own switches: help and version end with 0, a switch without its
# value with 1, and --shot writes the last frame as PPM (or ends with 10).
# (Captured first: grep -q would end the pipe early and pipefail see SIGPIPE.)
out=$("$build/Vext-Engine" --help)
grep -qF -- "--shot DATEI" <<<"$out" || fail "--help lacks --shot"
[ "$("$build/Vext-Engine" --version)" = "Vext-Engine 0.42" ] || fail "--version"
out=$("$build/Vext-Engine" --level 2>&1) && status=0 || status=$?
[ "$status" -eq 1 ] && grep -qF -- "--level braucht einen Wert" <<<"$out" || fail "missing value: $status $out"
timeout 120 "$build/Vext-Engine" --headless --frames 3 --shot "$work/last.ppm" >/dev/null || fail "--shot run"
[ "$(head -c 2 "$work/last.ppm")" = "P6" ] || fail "--shot wrote no PPM"
# A picture that could not be written is no success: a link is not written through.
ln -s "$work/last.ppm" "$work/link.ppm"
timeout 120 "$build/Vext-Engine" --headless --frames 3 --shot "$work/link.ppm" >/dev/null && status=0 || status=$?
[ "$status" -eq 10 ] || fail "--shot onto a link: status $status"

# 4. A missing module file ends with a message naming it, without hanging.
mkdir -p "$work/bin"
cp "$build/Vext-Engine" "$build/libvext_exec.so" "$work/bin/"
out=$(timeout 60 "$work/bin/Vext-Engine" --headless --frames 10 2>&1) && status=0 || status=$?
[ "$status" -ne 124 ] || fail "engine hung waiting for a missing module"
[ "$status" -eq 10 ] || fail "missing module: status $status, output: $out"
grep -qF "Spielmod.mod" <<<"$out" || fail "message does not name the module file: $out"

# 5. The sound module on its own.
out=$("$build/Klangmod" 2>&1) && status=0 || status=$?
[ "$status" -eq 0 ] || fail "Klangmod alone ended with $status"
grep -qF "KlangModul: hmm keine Engine da" <<<"$out" || fail "Klangmod text missing: $out"

# 6. Start, frames and quit under valgrind: no leaks or bad accesses of ours.
if command -v valgrind >/dev/null; then
  timeout 600 valgrind -q --keep-debuginfo=yes --suppressions="$src/tests/e2e/foreign.supp" \
    --leak-check=full --errors-for-leak-kinds=definite,indirect --error-exitcode=9 \
    "$build/Vext-Engine" --headless --frames 100 >"$work/vg.log" 2>&1 \
    || { tail -60 "$work/vg.log"; fail "valgrind reported errors"; }
fi
echo "spine: all checks passed"
