#!/usr/bin/env bash
# Builds and runs the server tester benchmark: 5,000 servers on loopback addresses 127.0.x.y,
# half listening and half closed, tested 100 at a time, beside a bare connect+close loop over the
# same addresses. Extra arguments go to Google Benchmark (e.g. --benchmark_repetitions=3); --json
# prints the tester's and the bare connect's cost per server as one JSON line.
# KESTRUNE_BUILD_DIR picks the build folder (default: build/ of the repository).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${KESTRUNE_BUILD_DIR:-$root/build}"

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target tester_bench

# Every accepted probe leaves its client socket in TIME_WAIT for a minute, and many of them make
# later connects dearer: a second run within a minute measures slightly worse.
if command -v ss >/dev/null; then
  echo "sockets in TIME_WAIT before the run: $(ss -Htan state time-wait | wc -l)"
fi
exec "$build/bench/tester/tester_bench" "$@"
