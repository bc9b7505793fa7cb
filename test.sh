#!/usr/bin/env bash
# Builds Keyloft with AddressSanitizer and UndefinedBehaviorSanitizer, starts the test
# environment (a private Xvfb and PulseAudio) and runs every test with CTest, then runs each
# fuzz target briefly. Installs what is missing first (Debian/Ubuntu, apt).
#   ./test.sh            everything
#   ./test.sh -R regex   only the CTest cases matching the regex (no fuzzing)
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD

tools/install-deps.sh test

jobs=$(nproc)
build=build-asan
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKL_SANITIZE=address >/dev/null
ninja -C "$build" -j "$jobs"

source tests/env/testenv.sh
trap testenv_stop EXIT
testenv_start

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 300 "$@"

[ $# -gt 0 ] && exit 0

# Fuzz targets: a short run each from the seed corpus, as a smoke test that nothing crashes.
# Longer runs: build-fuzz/bin/<target> -max_total_time=600 tests/fuzz/corpus/<name>
fuzz=build-fuzz
cmake -S . -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKL_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
ninja -C "$fuzz" -j "$jobs" fuzzers
shopt -s nullglob
for target in "$fuzz"/bin/*_fuzz; do
  name=$(basename "$target" _fuzz)
  work=$(mktemp -d)
  cp -r "tests/fuzz/corpus/$name/." "$work/" 2>/dev/null || true
  echo "fuzz: $name"
  "$target" -max_total_time="${KL_FUZZ_SECONDS:-15}" -print_final_stats=0 "$work" 2>"$work.log" || {
    tail -n 40 "$work.log"; rm -rf "$work" "$work.log"; exit 1; }
  rm -rf "$work" "$work.log"
done
echo "fuzz: all targets ran clean"
