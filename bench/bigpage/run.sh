#!/usr/bin/env bash
# Builds kestrune (Release, its own build folder) and runs the big-page benchmark: one result page
# of 64 MiB from nginx on 127.0.0.1, with and without a Content-Length, searched by `kestrune
# search` beside `curl | rg -o` listing the same links. Arguments go to bigpage.py (--json,
# --repetitions N, --size BYTES, --links N). KESTRUNE_BENCH_BUILD picks the build folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${KESTRUNE_BENCH_BUILD:-$root/build-bench-bigpage}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_TESTS=OFF >/dev/null
cmake --build "$build" --target kestrune >&2
exec /usr/bin/python3 "$root/bench/bigpage/bigpage.py" "$build/src/app/kestrune" "$@"
