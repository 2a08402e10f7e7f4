#!/usr/bin/env bash
# How the command line's crawl grows with its work: `kestrune search --test` over N servers, and
# `kestrune search` over N engines, for N = 5,000, 20,000 and 100,000 by default. Every server and
# every engine sits on a closed loopback port, so each costs one refused connect: a time per item
# that grows with N shows a loop that walks everything once per event.
# Arguments: the sizes to run (default 5000 20000 100000), and --json for the cost per item at the
# largest size against the smallest as JSON lines. KESTRUNE_BUILD_DIR picks the build
# folder (default: build/); KESTRUNE_BINARY runs another kestrune (an older build, to compare).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${KESTRUNE_BUILD_DIR:-$root/build}"
binary="${KESTRUNE_BINARY:-}"
if [ -z "$binary" ]; then
  [ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" --target kestrune >&2
  binary="$build/src/app/kestrune"
fi
exec /usr/bin/python3 "$root/bench/scaling/scaling.py" "$binary" "$@"
