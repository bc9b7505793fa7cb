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

# ThreadSanitizer: the device layer, the worker and the virtual keyboard run real threads
# against each other; any report fails the run.
tsan=build-tsan
cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKL_SANITIZE=thread >/dev/null
ninja -C "$tsan" -j "$jobs" vkb_tests device_tests worker_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir "$tsan" --output-on-failure -j "$jobs" --timeout 300 \
  -R '^(VirtualKeyboardTest|ProtocolTest|HidDeviceSetTest|TransportTest|DeviceConnectionTest|HidMonitorTest|WorkerTest)\.'

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
  # A crashing input is kept in build-fuzz/ so that it can be replayed.
  "$target" -max_total_time="${KL_FUZZ_SECONDS:-15}" -print_final_stats=0 -artifact_prefix="$fuzz/" \
    "$work" 2>"$work.log" || { tail -n 40 "$work.log"; rm -rf "$work" "$work.log"; exit 1; }
  rm -rf "$work" "$work.log"
done
echo "fuzz: all targets ran clean"
