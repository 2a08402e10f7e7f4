"""One big result page, fetched whole: `kestrune search` against `curl | rg -o` listing the same
links, from one nginx on 127.0.0.1. The page is served twice: as a static file (with a
Content-Length) and through nginx's SSI filter (HTTP/1.0, no Content-Length, closed at the end),
the way a dynamic engine answers. The two programs alternate; medians of wall time and the
largest peak resident size are printed, one line per scenario, and as JSON lines with --json."""
import argparse
import json
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from nginx_peer import start_nginx  # noqa: E402

SEARCH = "music live"
RG_PATTERN = 'href="(ftp|http)://[^"]*'
WORDS = ["alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
         "india", "juliet", "kilo", "lima", "oscar", "papa", "quebec", "romeo"]
FILLER = ("Lorem ipsum dolor sit amet, <b>consectetur</b> adipiscing elit, sed do eiusmod tempor "
          "incididunt ut labore et dolore magna aliqua. ")


def make_page(size, links, seed=18):
    """About `size` bytes of result list with `links` quoted anchors: 45% ftp files on 4,000 hosts,
    15% http files that match the search, the rest other anchors."""
    rnd = random.Random(seed)
    head = '<!DOCTYPE html>\n<html><head><title>music live</title></head><body><ol>\n'
    parts = [head]
    total = len(head)
    per_link = max(0, size // links)
    for k in range(links):
        roll = rnd.random()
        if roll < 0.45:
            h = rnd.randrange(4000)
            target = "ftp://ftp%d.mirror%d.example/%s/%s/track%d.mp3" % (
                h, h % 53, rnd.choice(WORDS), rnd.choice(WORDS), rnd.randrange(40000))
        elif roll < 0.60:
            target = "http://www%d.site.example/music/live%d.mp3" % (rnd.randrange(3000), rnd.randrange(9000))
        elif roll < 0.80:
            target = "http://www%d.site.example/page%d.html" % (rnd.randrange(3000), k)
        else:
            target = "/next?page=%d" % k
        item = '<li><a href="%s">%s</a> ' % (target, rnd.choice(WORDS))
        pad = per_link - len(item) - 6
        item += (FILLER * (pad // len(FILLER) + 1))[:max(pad, 0)] + "</li>\n"
        parts.append(item)
        total += len(item)
    tail = "</ol></body></html>\n"
    body = "".join(parts)
    body += " " * max(0, size - total - len(tail)) + tail
    return body.encode("latin-1")


def timed(command, env=None, stdout=None):
    """Wall seconds and peak resident MiB of one command (its largest process)."""
    start = time.perf_counter()
    process = subprocess.Popen(command, env=env, stdout=stdout, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: %s" % " ".join(command))
    return wall, usage.ru_maxrss / 1024.0


def catalogue(url):
    return "[Engines]\r\nCount=1\r\nName1=big\r\n[big]\r\nQUERY=%s\r\nActive=True\r\n" % url


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("binary", help="the kestrune program to measure")
    parser.add_argument("--size", type=int, default=64 * 1024 * 1024 - 64 * 1024)
    parser.add_argument("--links", type=int, default=345000)
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--json", action="store_true")
    parser.add_argument("--write-page", metavar="FILE", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.write_page:
        with open(args.write_page, "wb") as f:
            f.write(make_page(args.size, args.links))
        return
    for tool in ("curl", "rg"):
        if not shutil.which(tool):
            sys.exit("%s is missing (apt-get install curl ripgrep)" % tool)

    work = tempfile.mkdtemp(prefix="kestrune-bigpage-")
    root = os.path.join(work, "root")
    os.makedirs(os.path.join(root, "dynamic"))
    # Written by a child: a parent that held the page would count in every child's peak resident
    # size (a forked child starts with the parent's pages mapped).
    os.makedirs(os.path.join(root, "static"))
    static = os.path.join(root, "static", "page")
    subprocess.run([sys.executable, __file__, args.binary, "--size", str(args.size), "--links", str(args.links),
                    "--write-page", static], check=True)
    shutil.copyfile(static, os.path.join(root, "dynamic", "page"))
    page_bytes = os.path.getsize(static)
    # Through the SSI filter nginx sends no Content-Length and closes at the end, as a dynamic
    # engine does.
    nginx, port = start_nginx(work, root, "location /dynamic/ { ssi on; ssi_types *; }")
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"))
    out = os.path.join(work, "out")
    rows = []
    try:
        for kind in ("dynamic", "static"):
            home = os.path.join(work, "home-" + kind)
            os.makedirs(home)
            url = "http://127.0.0.1:%d/%s/page?q=%%s" % (port, kind)
            with open(os.path.join(home, "settings.dat"), "w", newline="") as f:
                f.write(catalogue(url))
            fetched = "http://127.0.0.1:%d/%s/page?q=music+live" % (port, kind)
            peer = ["bash", "-c", "set -o pipefail; curl -s --fail \"$1\" | rg -o -i '%s'" % RG_PATTERN, "peer", fetched]
            ours = [args.binary, "--home", home, "search", SEARCH]
            times = {"kestrune": [], "peer": []}
            peaks = {"kestrune": 0.0, "peer": 0.0}
            counts = {}
            for _ in range(args.repetitions):
                for name, command in (("kestrune", ours), ("peer", peer)):
                    with open(out, "wb") as sink:
                        wall, peak = timed(command, env, sink)
                    times[name].append(wall)
                    peaks[name] = max(peaks[name], peak)
                    with open(out, "rb") as f:
                        counts[name] = sum(1 for _ in f)
            k, p = statistics.median(times["kestrune"]), statistics.median(times["peer"])
            label = "one %d MiB page, %s" % (round(page_bytes / 2**20), "no Content-Length" if kind == "dynamic" else "Content-Length")
            rows.append({"scenario": label, "kestrune": k, "peer": p, "unit": "s", "ratio": k / p,
                         "spread": [min(times["kestrune"]) / p, max(times["kestrune"]) / p],
                         "kestrune_peak_mib": peaks["kestrune"], "page_mib": page_bytes / 2**20,
                         "entries": counts["kestrune"], "links": counts["peer"]})
    finally:
        nginx.send_signal(signal.SIGTERM)
        nginx.wait()
        shutil.rmtree(work, ignore_errors=True)
    for row in rows:
        if args.json:
            print(json.dumps(row))
        else:
            print("%-40s kestrune %.3f s  curl|rg %.3f s  ratio %.2f (%.2f-%.2f)  peak %.0f MiB (%.2f x page)  %d entries, %d links"
                  % (row["scenario"], row["kestrune"], row["peer"], row["ratio"], row["spread"][0], row["spread"][1],
                     row["kestrune_peak_mib"], row["kestrune_peak_mib"] / row["page_mib"], row["entries"], row["links"]))


if __name__ == "__main__":
    main()
