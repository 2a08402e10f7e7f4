#!/usr/bin/env bash
# Builds (Release, its own build folder) and measures start-up: wall time and peak resident memory
# of `kestrune search` over one engine on a closed loopback port against `curl -s` of that port,
# and of the window until its first frame is painted (offscreen) against a bare Qt window with a
# tree view. Arguments go to startup.py (--repetitions N, --json).
# KESTRUNE_BENCH_BUILD picks the build folder (default: build-bench/ of the repository).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${KESTRUNE_BENCH_BUILD:-$root/build-bench}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_TESTS=OFF >/dev/null
cmake --build "$build" --target kestrune startup_window startup_bare >&2
exec /usr/bin/python3 "$root/bench/startup/startup.py" "$build" "$@"
