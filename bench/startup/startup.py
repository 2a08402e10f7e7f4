"""Start-up time and peak resident memory of Kestrune's two faces, each beside a peer doing the
least of the same job: `kestrune search` over one engine on a closed loopback port (the smallest
whole run of the command line) against `curl -s` of the same closed port, and the window from the
exec to its first painted frame (offscreen) against a bare Qt main window with one tree view.
The programs alternate; medians of wall time and the largest peak resident size are printed, and
as JSON lines with --json. Peak sizes come from /usr/bin/time in separate runs, so that no
parent's memory is counted in the child's."""
import argparse
import json
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wall(command, env, expected):
    start = time.perf_counter()
    code = subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    seconds = time.perf_counter() - start
    if code != expected:
        sys.exit("%s exited with %d" % (" ".join(command), code))
    return seconds


def peak_mib(command, env, work):
    report = os.path.join(work, "peak")
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report] + command, env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(report) as f:
        return int(f.read().split()[-1]) / 1024.0


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("build", help="the build folder")
    parser.add_argument("--repetitions", type=int, default=15)
    parser.add_argument("--json", action="store_true")
    args = parser.parse_args()
    for tool in ("curl", "/usr/bin/time"):
        if not shutil.which(tool):
            sys.exit("%s is missing (apt-get install curl time)" % tool)

    work = tempfile.mkdtemp(prefix="kestrune-startup-")
    runtime = os.path.join(work, "runtime")
    os.mkdir(runtime, 0o700)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=os.path.join(work, "config"),
               XDG_RUNTIME_DIR=runtime)
    port = closed_port()
    search_home = os.path.join(work, "search")
    os.mkdir(search_home)
    with open(os.path.join(search_home, "settings.dat"), "w", newline="") as f:
        f.write("[Engines]\r\nCount=1\r\nName1=closed\r\n[closed]\r\nQUERY=http://127.0.0.1:%d/?q=%%s\r\n"
                "Active=True\r\n" % port)
    binary = lambda *path: os.path.join(args.build, *path)
    # (scenario, ours, peer, peer's name, peer's exit status: curl's 7 is "could not connect")
    pairs = [
        ("command line: search of one engine on a closed port",
         [binary("src", "app", "kestrune"), "--home", search_home, "search", "mp3"],
         ["curl", "-s", "http://127.0.0.1:%d/" % port], "curl -s of the closed port", 7),
        ("window: start until the first frame is painted",
         [binary("bench", "startup", "startup_window"), os.path.join(work, "window")],
         [binary("bench", "startup", "startup_bare")], "bare QMainWindow + QTreeView", 0),
    ]
    rows = []
    try:
        for scenario, ours, peer, peer_name, peer_code in pairs:
            # The first run seeds the window's program folder and warms the page cache.
            wall(ours, env, 0)
            wall(peer, env, peer_code)
            times = {"ours": [], "peer": []}
            for r in range(args.repetitions):
                order = [("ours", ours, 0), ("peer", peer, peer_code)]
                for side, command, code in order if r % 2 == 0 else reversed(order):
                    times[side].append(wall(command, env, code))
            peaks = {side: max(peak_mib(command, env, work) for _ in range(3))
                     for side, command in (("ours", ours), ("peer", peer))}
            k, p = statistics.median(times["ours"]) * 1e3, statistics.median(times["peer"]) * 1e3
            rows.append({"scenario": scenario + ", wall time", "kestrune": k, "peer": p, "peer_name": peer_name,
                         "unit": "ms", "ratio": k / p})
            rows.append({"scenario": scenario + ", peak RSS", "kestrune": peaks["ours"], "peer": peaks["peer"],
                         "peer_name": peer_name, "unit": "MiB", "ratio": peaks["ours"] / peaks["peer"]})
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for row in rows:
        if args.json:
            print(json.dumps(row))
        else:
            print("%-68s kestrune %7.1f %-3s  %s %7.1f  ratio %.2f" % (row["scenario"], row["kestrune"], row["unit"],
                                                                        row["peer_name"], row["peer"], row["ratio"]))


if __name__ == "__main__":
    main()
