#!/usr/bin/env python3
"""The verify of the results: `kestrune search --verify --max-test 10` over one page of links to
N pyftpdlib servers (127.0.0.11, .12, ...: the results are grouped by host) with M files each,
once with the default pause of 100 ms between two files of a server and once with none, against
lftp asking the same SIZE and MDTM on one connection per server, all servers at once. Every run
is checked: each file with its size and date, each server alive. Medians of the whole run's wall
time (and the files verified per second) are printed, as JSON lines with --json. The time of the
same search without --verify goes to standard error, to show how little of the run it is."""
import argparse
import json
import os
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from nginx_peer import start_nginx  # noqa: E402

PYTHON = "/usr/bin/python3"  # the one with pyftpdlib
DATE = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")


def host(s):
    return "127.0.0.%d" % (11 + s)


def size_of(s, k):
    # Sizes that differ from file to file and server to server, so that a swapped answer shows.
    return 1000 * (s + 1) + 7 * k


def start_ftp(s, root):
    with socket.socket() as probe:
        probe.bind((host(s), 0))
        port = probe.getsockname()[1]
    server = subprocess.Popen([PYTHON, "-m", "pyftpdlib", "-i", host(s), "-p", str(port), "-d", root],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(250):
        try:
            socket.create_connection((host(s), port), timeout=1).close()
            return server, port
        except OSError:
            time.sleep(0.02)
    server.kill()
    raise RuntimeError("pyftpdlib on %s did not start" % host(s))


def check_kestrune(text, servers, files):
    """None when every file has its size and a date and every server is alive, else what is wrong."""
    seen, alive = 0, set()
    for line in text.splitlines():
        fields = line.split("\t")
        if fields[0] == "#verify" and len(fields) == 3:
            if fields[2] != "alive":
                return "%s: %s" % (fields[1], fields[2])
            alive.add(fields[1])
            continue
        name = re.match(r"^127\.0\.0\.(\d+)$", fields[1]) if len(fields) == 7 else None
        number = re.match(r"^file(\d+)\.mp3$", fields[4]) if name else None
        if not number:
            return "an odd line: %r" % line
        s, k = int(name.group(1)) - 11, int(number.group(1))
        if fields[5] != str(size_of(s, k)) or not DATE.match(fields[6]):
            return "%s %s%s: size %r, date %r" % (fields[1], fields[3], fields[4], fields[5], fields[6])
        seen += 1
    if seen != servers * files or len(alive) != servers:
        return "%d files of %d, %d servers alive of %d" % (seen, servers * files, len(alive), servers)
    return None


def check_lftp(text, s, files):
    lines = text.splitlines()  # the reply to TYPE I, then to SIZE and MDTM of each file
    if len(lines) != 1 + 2 * files or not lines[0].startswith("200 "):
        return "lftp on %s: %d replies" % (host(s), len(lines))
    for k in range(files):
        size, date = lines[1 + 2 * k], lines[2 + 2 * k]
        if size != "213 %d" % size_of(s, k) or not re.match(r"^213 \d{14}$", date):
            return "lftp on %s, file %d: %r, %r" % (host(s), k, size, date)
    return None


def run_lftp(ports, files, env):
    """Wall seconds of one lftp per server, all started at once, and what went wrong."""
    start = time.perf_counter()
    processes = []
    for s, port in enumerate(ports):
        script = ["set cmd:fail-exit yes", "open -u anonymous,x ftp://%s:%d" % (host(s), port), "quote TYPE I"]
        for k in range(files):
            script += ["quote SIZE /pub/file%03d.mp3" % k, "quote MDTM /pub/file%03d.mp3" % k]
        processes.append(subprocess.Popen(["lftp", "-c", "; ".join(script + ["quit"])], env=env,
                                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True))
    outputs = [p.communicate()[0] for p in processes]
    wall = time.perf_counter() - start
    problems = ["lftp exit status %d" % p.returncode for p in processes if p.returncode]
    problems += [check_lftp(out, s, files) for s, out in enumerate(outputs)]
    return wall, next((p for p in problems if p), None)


def run_kestrune(command, env, servers, files, check):
    start = time.perf_counter()
    try:
        done = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                              timeout=120 + files * 0.5)
    except subprocess.TimeoutExpired:
        return time.perf_counter() - start, "kestrune was stopped after %.0f s" % (120 + files * 0.5)
    wall = time.perf_counter() - start
    if done.returncode:
        return wall, "kestrune exit status %d" % done.returncode
    return wall, check_kestrune(done.stdout, servers, files) if check else None


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("binary", help="the kestrune program to measure")
    parser.add_argument("--servers", type=int, default=10)
    parser.add_argument("--files", type=int, default=100, help="per server (at most 1000)")
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--json", action="store_true")
    args = parser.parse_args()
    for tool in ("lftp", "nginx"):
        if not shutil.which(tool) and not os.access("/usr/sbin/" + tool, os.X_OK):
            sys.exit("%s is missing (apt-get install %s)" % (tool, tool))

    work = tempfile.mkdtemp(prefix="kestrune-verify-")
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"), HOME=work,
               XDG_DATA_HOME=os.path.join(work, "data"))  # nobody's preferences, lftp's rc either
    servers, ports, nginx = [], [], None
    try:
        links = []
        for s in range(args.servers):
            pub = os.path.join(work, "ftp%d" % s, "pub")
            os.makedirs(pub)
            for k in range(args.files):
                with open(os.path.join(pub, "file%03d.mp3" % k), "wb") as f:
                    f.truncate(size_of(s, k))
            server, port = start_ftp(s, os.path.dirname(pub))
            servers.append(server)
            ports.append(port)
            links += ['<li><a href="ftp://%s:%d/pub/file%03d.mp3">track %d</a></li>\n' % (host(s), port, k, k)
                      for k in range(args.files)]
        os.makedirs(os.path.join(work, "root"))
        with open(os.path.join(work, "root", "page.html"), "w") as f:
            f.write("<html><body><ol>\n%s</ol></body></html>\n" % "".join(links))
        nginx, http_port = start_nginx(work, os.path.join(work, "root"))
        home = os.path.join(work, "home")
        os.makedirs(home)
        with open(os.path.join(home, "settings.dat"), "w", newline="") as f:
            f.write("[Engines]\r\nCount=1\r\nName1=one\r\n[one]\r\nQUERY=http://127.0.0.1:%d/page.html?q=%%s\r\n"
                    "Active=True\r\n" % http_port)
        search = [args.binary, "--home", home, "search"]
        verify = search + ["--verify", "--max-test", "10", "music"]
        runs = {"paused": (verify, env), "unpaused": (verify, dict(env, KESTRUNE_LIMITS="verifyPause=0")),
                "search": (search + ["music"], env)}
        times = {name: [] for name in list(runs) + ["lftp"]}
        failures = {name: [] for name in times}
        for rep in range(args.repetitions):
            for name, (command, run_env) in runs.items():
                wall, problem = run_kestrune(command, run_env, args.servers, args.files, name != "search")
                times[name].append(wall)
                failures[name] += [problem] if problem else []
            wall, problem = run_lftp(ports, args.files, env)
            times["lftp"].append(wall)
            failures["lftp"] += [problem] if problem else []
            print("repetition %d: %s" % (rep + 1, ", ".join("%s %.3f s" % (n, t[-1]) for n, t in times.items())),
                  file=sys.stderr)
    finally:
        for process in servers + ([nginx] if nginx else []):
            process.send_signal(signal.SIGTERM)
        for process in servers + ([nginx] if nginx else []):
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        shutil.rmtree(work, ignore_errors=True)

    total = args.servers * args.files
    median = {name: statistics.median(t) for name, t in times.items()}
    print("the search alone (without --verify): %.3f s median" % median["search"], file=sys.stderr)
    for name, problems in failures.items():
        for problem in problems:
            print("failed, %s: %s" % (name, problem), file=sys.stderr)
    shape = "%d servers x %d files, --max-test 10" % (args.servers, args.files)
    rows = []
    for name, label in (("paused", "the default 100 ms pause between files (lftp pauses none)"),
                        ("unpaused", "verifyPause=0")):
        k, p = median[name], median["lftp"]
        row = {"scenario": "verify of %s, %s: whole run" % (shape, label), "kestrune": k, "peer": p,
               "unit": "s", "ratio": k / p, "kestrune_files_per_s": total / k, "peer_files_per_s": total / p,
               "search_s": median["search"]}
        if failures[name] or failures["lftp"]:
            row.update(ok=False, note=(failures[name] + failures["lftp"])[0])
        rows.append(row)
    for row in rows:
        if args.json:
            print(json.dumps(row))
        else:
            print("%s\n  kestrune %.3f s (%.0f files/s)  lftp %.3f s (%.0f files/s)  ratio %.2f  search alone %.3f s"
                  % (row["scenario"], row["kestrune"], row["kestrune_files_per_s"], row["peer"],
                     row["peer_files_per_s"], row["ratio"], row["search_s"]))
    return 1 if any(failures.values()) else 0


if __name__ == "__main__":
    sys.exit(main())
