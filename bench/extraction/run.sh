#!/bin/sh
# Builds and runs the extraction benchmark (release flags, its own build folder). --json runs only
# the comparison with ripgrep and prints it as one JSON line.
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${KESTRUNE_BENCH_BUILD:-$root/build-bench}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_TESTS=OFF >/dev/null
cmake --build "$build" --target scan_bench >&2
exec "$build/bench/extraction/scan_bench" "$@"
