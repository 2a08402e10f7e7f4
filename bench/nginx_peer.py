"""nginx on 127.0.0.1 for the Python benchmarks: started in the foreground on a free port, serving
a folder, and stopped by the caller through the process it returns."""
import os
import shutil
import socket
import subprocess
import sys
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_nginx(work, root, locations=""):
    """nginx serving `root`, its files and logs in `work`; `locations` adds to its server block."""
    port = free_port()
    conf = os.path.join(work, "nginx.conf")
    temp = " ".join("%s_temp_path %s/%s;" % (t, work, t) for t in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
    with open(conf, "w") as f:
        f.write("daemon off; master_process off; worker_processes 1; pid %s/nginx.pid; error_log %s/error.log;\n"
                "events { worker_connections 256; }\n"
                "http { access_log off; %s default_type text/html; sendfile on;\n"
                "  server { listen 127.0.0.1:%d; root %s; %s } }\n" % (work, work, temp, port, root, locations))
    nginx = subprocess.Popen([shutil.which("nginx") or "/usr/sbin/nginx", "-c", conf, "-p", work + "/"],
                             stderr=subprocess.DEVNULL)
    for _ in range(200):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return nginx, port
        except OSError:
            time.sleep(0.02)
    nginx.kill()
    sys.exit("nginx did not start")
