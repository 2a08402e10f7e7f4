#!/usr/bin/env bash
# Builds (Release, its own build folder) and runs the window benchmark: the real window, offscreen,
# searching 100 engines on one nginx on 127.0.0.1 for 1,000,000 results on 100,000 servers, then
# showing the big server (100,000 files) in each layout, with resident memory over four searches,
# and a catalogue of 100,000 engines loaded in a child process. Arguments go to the benchmark
# (--help lists them): --entries 100000 --servers 10000 for a quick run, --json, --skip-catalogue,
# --searches K.
# KESTRUNE_BENCH_BUILD picks the build folder (default: build-bench-window/ of the repository).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${KESTRUNE_BENCH_BUILD:-$root/build-bench-window}"

if ! command -v nginx >/dev/null && [ ! -x /usr/sbin/nginx ]; then
  echo "run.sh: nginx is missing (apt-get install nginx)" >&2
  exit 1
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_TESTS=OFF >/dev/null
cmake --build "$build" --target window_bench
exec "$build/bench/window/window_bench" "$@"
