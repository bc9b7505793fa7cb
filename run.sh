#!/usr/bin/env bash
# Builds a release build of Keyloft and starts it. Installs what is missing first
# (Debian/Ubuntu, apt). Arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh build
build=build-release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKL_TESTS=OFF >/dev/null
ninja -C "$build" keyloft keyloft_data
exec "$build/bin/keyloft" "$@"
