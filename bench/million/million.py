"""The command line at scale: `kestrune search` over result pages that hold 1,000,000 distinct ftp
links on 100,000 hosts (127.x.y.z, never contacted: no test runs), served by one nginx on
127.0.0.1, against `curl --parallel | rg -o` listing the same links. Each host's files are spread
over several pages, so the results are grouped as they arrive. Prints the median wall time of
each side and Kestrune's largest peak resident size against its bound of 200 MB; as JSON lines
with --json. Peak sizes come from /usr/bin/time, so that this script's memory is not counted."""
import argparse
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from nginx_peer import start_nginx  # noqa: E402

BOUND_MB = 200
RG_PATTERN = 'href="(ftp|http)://[^"]*'


def host(k):
    # 127.1.0.0 onwards: distinct loopback addresses, none of them nginx's 127.0.0.1.
    k += 1 << 16
    return "127.%d.%d.%d" % ((k >> 16) & 255, (k >> 8) & 255, k & 255)


def write_pages(root, entries, hosts, pages):
    """Page p holds links p*per .. (p+1)*per-1; link i is on host i % hosts. Written a line at a
    time, so that the script stays small."""
    per = entries // pages
    for p in range(pages):
        with open(os.path.join(root, "p%03d" % p), "w") as page:
            page.write("<html><head><title>music</title></head><body><ol>\n")
            page.writelines('<li><a href="ftp://%s/music/live/track%07d.mp3">track %d</a> live music</li>\n'
                            % (host(i % hosts), i, i) for i in range(p * per, (p + 1) * per))
            page.write("</ol></body></html>\n")
    return per * pages


def timed(command, env, out, work):
    """Wall seconds, peak resident MB and output lines of one command."""
    report = os.path.join(work, "peak")
    start = time.perf_counter()
    with open(out, "wb") as sink:
        code = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report] + command, env=env, stdout=sink,
                              stderr=subprocess.DEVNULL).returncode
    wall = time.perf_counter() - start
    if code != 0:
        sys.exit("failed (%d): %s" % (code, " ".join(command[:3])))
    with open(report) as f:
        peak = int(f.read().split()[-1]) * 1024 / 1e6
    with open(out, "rb") as f:
        lines = sum(1 for _ in f)
    return wall, peak, lines


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("binary")
    parser.add_argument("--entries", type=int, default=1_000_000)
    parser.add_argument("--hosts", type=int, default=100_000)
    parser.add_argument("--pages", type=int, default=100)
    parser.add_argument("--max-search", type=int, default=10)
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--json", action="store_true")
    args = parser.parse_args()
    for tool in ("curl", "rg", "/usr/bin/time"):
        if not shutil.which(tool):
            sys.exit("%s is missing (apt-get install curl ripgrep time)" % tool)

    work = tempfile.mkdtemp(prefix="kestrune-million-")
    root = os.path.join(work, "root")
    home = os.path.join(work, "home")
    os.makedirs(root)
    os.makedirs(home)
    entries = write_pages(root, args.entries, args.hosts, args.pages)
    nginx, port = start_nginx(work, root)
    try:
        names = "".join("Name%d=p%03d\r\n" % (p + 1, p) for p in range(args.pages))
        sections = "".join("[p%03d]\r\nQUERY=http://127.0.0.1:%d/p%03d?q=%%s\r\nActive=True\r\n" % (p, port, p)
                           for p in range(args.pages))
        with open(os.path.join(home, "settings.dat"), "w", newline="") as f:
            f.write("[Engines]\r\nCount=%d\r\n%s%s" % (args.pages, names, sections))
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"))
        out = os.path.join(work, "out")
        ours = [args.binary, "--home", home, "search", "--max-search", str(args.max_search), "music live"]
        urls = ["http://127.0.0.1:%d/p%03d?q=music+live" % (port, p) for p in range(args.pages)]
        peer = ["bash", "-c", "set -o pipefail; curl -s --fail --parallel --parallel-max %d \"$@\" | rg -o -i '%s'"
                % (args.max_search, RG_PATTERN), "peer"] + urls
        # One unmeasured run of each puts the pages in the page cache.
        timed(ours, env, out, work)
        timed(peer, env, out, work)
        times = {"ours": [], "peer": []}
        peak = 0.0
        for r in range(args.repetitions):
            order = [("ours", ours), ("peer", peer)]
            for side, command in order if r % 2 == 0 else reversed(order):
                wall, side_peak, lines = timed(command, env, out, work)
                # curl writes parallel pages to its output as their pieces come, and a link cut
                # there is lost: a few per page may be missing from rg's list.
                if lines != entries and (side == "ours" or not entries - args.pages <= lines < entries):
                    sys.exit("%s listed %d lines, not %d" % (side, lines, entries))
                times[side].append(wall)
                if side == "ours":
                    peak = max(peak, side_peak)
    finally:
        nginx.send_signal(signal.SIGTERM)
        nginx.wait()
        shutil.rmtree(work, ignore_errors=True)

    label = "search of %s results on %s hosts (%d pages)" % (f"{entries:,}", f"{args.hosts:,}", args.pages)
    k, p = statistics.median(times["ours"]), statistics.median(times["peer"])
    rows = [{"scenario": label + ", peak RSS", "kestrune": peak, "peer": BOUND_MB, "peer_name": "bound 200 MB",
             "unit": "MB", "ratio": peak / BOUND_MB},
            {"scenario": label + ", wall time", "kestrune": k, "peer": p,
             "peer_name": "curl --parallel-max %d | rg -o" % args.max_search, "unit": "s", "ratio": k / p}]
    for row in rows:
        if args.json:
            print(json.dumps(row))
        else:
            print("%-72s kestrune %7.2f %-2s  %s %7.2f  ratio %.2f" % (row["scenario"], row["kestrune"], row["unit"],
                                                                        row["peer_name"], row["peer"], row["ratio"]))


if __name__ == "__main__":
    main()
