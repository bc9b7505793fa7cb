#!/usr/bin/env bash
# Builds the XML benchmark in a release build and runs it: XmlDocument next to pugixml and
# tinyxml2, on the shipped layout file and on a generated document of about 20 MB.
# Arguments go to the benchmark program (e.g. --benchmark_filter=Large).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKL_BENCH=ON >/dev/null
ninja -C build-release -j "$(nproc)" xml_bench
build-release/bin/xml_bench "$@"
