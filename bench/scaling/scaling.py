"""Runs `kestrune search` over N servers (with --test) and over N engines, all on closed loopback
ports, and prints wall and CPU seconds with the cost per item. See run.sh. With --json, the CPU
cost per item at the largest N against the smallest N, one JSON line per kind, the table going to
standard error."""
import http.server
import json
import os
import resource
import socket
import subprocess
import sys
import tempfile
import threading
import time


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def host(i):
    # 127.0.1.0 onwards: distinct loopback addresses, none of them 127.0.0.1.
    i += 256
    return "127.%d.%d.%d" % ((i >> 16) & 255, (i >> 8) & 255, i & 255)


def catalogue(templates):
    names = "".join("Name%d=e%d\r\n" % (k, k) for k in range(1, len(templates) + 1))
    sections = "".join("[e%d]\r\nQUERY=%s\r\nActive=True\r\n" % (k, t) for k, t in enumerate(templates, 1))
    return "[Engines]\r\nCount=%d\r\n%s%s" % (len(templates), names, sections)


def run(binary, home, config, arguments):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    result = subprocess.run([binary, "--home", home, "search"] + arguments, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, env=dict(os.environ, XDG_CONFIG_HOME=config), check=False)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    if result.returncode != 0:
        sys.exit("kestrune failed: " + result.stderr.decode(errors="replace"))
    return wall, cpu, result.stdout


def main():
    binary = sys.argv[1]
    as_json = "--json" in sys.argv[2:]
    sizes = [int(n) for n in sys.argv[2:] if n != "--json"] or [5000, 20000, 100000]
    table = sys.stderr if as_json else sys.stdout
    per_item = {"servers": {}, "engines": {}}  # CPU microseconds per item, by N
    work = tempfile.mkdtemp(prefix="kestrune-scaling-")
    pages = os.path.join(work, "pages")
    os.makedirs(pages)
    handler = lambda *a: http.server.SimpleHTTPRequestHandler(*a, directory=pages)
    http.server.SimpleHTTPRequestHandler.log_message = lambda *a: None
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    port = server.server_address[1]
    closed = closed_port()
    config = os.path.join(work, "config")

    print("%-26s %8s %9s %8s %14s" % ("run", "items", "wall s", "cpu s", "cpu us/item"), file=table)
    for n in sizes:
        home = os.path.join(work, "servers%d" % n)
        os.makedirs(home)
        with open(os.path.join(pages, "page%d" % n), "w") as page:
            page.writelines('<a href="ftp://%s:%d/a.mp3">a</a>\n' % (host(i), closed) for i in range(n))
        with open(os.path.join(home, "settings.dat"), "w", newline="") as f:
            f.write(catalogue(["http://127.0.0.1:%d/page%d?q=%%s" % (port, n)]))
        wall, cpu, out = run(binary, home, config, ["--test", "--max-test", "100", "mp3"])
        dead = out.count(b"\tdead\n")
        if dead != n:
            sys.exit("expected %d dead servers, got %d" % (n, dead))
        print("%-26s %8d %9.2f %8.2f %14.1f" % ("search --test (servers)", n, wall, cpu, 1e6 * cpu / n), file=table)
        per_item["servers"][n] = 1e6 * cpu / n

        home = os.path.join(work, "engines%d" % n)
        os.makedirs(home)
        with open(os.path.join(home, "settings.dat"), "w", newline="") as f:
            f.write(catalogue(["http://127.0.0.1:%d/e%d?q=%%s" % (closed, k) for k in range(n)]))
        wall, cpu, _ = run(binary, home, config, ["--max-search", "100", "mp3"])
        print("%-26s %8d %9.2f %8.2f %14.1f" % ("search (engines)", n, wall, cpu, 1e6 * cpu / n), file=table)
        per_item["engines"][n] = 1e6 * cpu / n
    server.shutdown()
    subprocess.run(["rm", "-rf", work], check=False)
    if as_json:
        small, large = min(sizes), max(sizes)
        for kind, label in (("servers", "search --test, CPU per server"), ("engines", "search, CPU per engine")):
            k, p = per_item[kind][large], per_item[kind][small]
            print(json.dumps({"scenario": "%s at %s %s (closed ports)" % (label, f"{large:,}", kind),
                              "kestrune": k, "peer": p, "peer_name": "the same at %s" % f"{small:,}",
                              "unit": "us", "ratio": k / p}))


if __name__ == "__main__":
    main()
