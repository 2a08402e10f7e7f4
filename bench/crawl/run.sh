#!/usr/bin/env bash
# Builds (Release, its own build folder) and runs the whole-search benchmark: 200 engines of 1 MiB
# pages with 2,000 anchors each on one nginx on 127.0.0.1, searched by Kestrune with maxSearch 10,
# beside `curl --parallel --parallel-max 10 | rg -o` over the same pages; the two alternate, and
# the medians are compared. Arguments go to the benchmark (--help lists them, e.g.
# --repetitions 3, --engines 20, --only kestrune, --timeline, --json for one JSON line per protocol).
# --tls fetches the same pages over https instead: nginx serves them on a second port with a
# certificate for 127.0.0.1 from a CA made for the run, which Kestrune is given through
# KESTRUNE_CA_FILE and curl through --cacert. --both measures http first, then https, and ends
# with both ratios side by side.
# KESTRUNE_BENCH_BUILD picks the build folder (default: build-bench-crawl/ of the repository).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${KESTRUNE_BENCH_BUILD:-$root/build-bench-crawl}"

for tool in nginx curl rg openssl; do
  if ! command -v "$tool" >/dev/null && [ ! -x "/usr/sbin/$tool" ]; then
    echo "run.sh: $tool is missing (apt-get install nginx curl ripgrep openssl)" >&2
    exit 1
  fi
done

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_TESTS=OFF >/dev/null
cmake --build "$build" --target crawl_bench

# Every search leaves 200 closed connections in TIME_WAIT for a minute (nginx closes first); each
# run uses a fresh port, but many of them on the machine make connects slightly dearer.
if command -v ss >/dev/null; then
  echo "sockets in TIME_WAIT before the run: $(ss -Htan state time-wait | wc -l)"
fi
exec "$build/bench/crawl/crawl_bench" "$@"
