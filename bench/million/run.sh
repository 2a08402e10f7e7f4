#!/usr/bin/env bash
# Builds (Release, its own build folder) and runs the command line at scale: `kestrune search` over
# 100 pages holding 1,000,000 ftp links on 100,000 hosts, served by one nginx on 127.0.0.1, against
# `curl --parallel | rg -o`; its peak resident size against 200 MB. Arguments go to million.py
# (--entries 100000 --hosts 10000 --pages 10 for a quick run, --repetitions N, --json).
# KESTRUNE_BENCH_BUILD picks the build folder (default: build-bench/ of the repository).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${KESTRUNE_BENCH_BUILD:-$root/build-bench}"
for tool in nginx curl rg; do
  if ! command -v "$tool" >/dev/null && [ ! -x "/usr/sbin/$tool" ]; then
    echo "run.sh: $tool is missing (apt-get install nginx curl ripgrep time)" >&2
    exit 1
  fi
done
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_TESTS=OFF >/dev/null
cmake --build "$build" --target kestrune >&2
exec /usr/bin/python3 "$root/bench/million/million.py" "$build/src/app/kestrune" "$@"
