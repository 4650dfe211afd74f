#!/usr/bin/env python3
"""scripts/play.sh with stand-ins for the programs and for hostname: it prints
where a browser plays (this machine, and the LAN when the machine has an
address there) and starts the client with the local server filled in."""
import os
import subprocess
import sys
import tempfile
import time

play = sys.argv[1]


def stub(path, text):
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + text)
    os.chmod(path, 0o755)


def run(addresses, display):
    with tempfile.TemporaryDirectory() as root:
        bin_dir, tools = os.path.join(root, "bin"), os.path.join(root, "tools")
        os.mkdir(bin_dir)
        os.mkdir(tools)
        record = os.path.join(root, "started")
        for program in ("kivolsrv", "kivolcli"):
            stub(os.path.join(bin_dir, program), f'echo "{program} $*" >> {record}\n')
        stub(os.path.join(tools, "hostname"), f'echo "{addresses}"\n')
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env["PATH"] = tools + os.pathsep + env["PATH"]
        if display:
            env["DISPLAY"] = ":99"
        out = subprocess.run(["bash", play, bin_dir], env=env, capture_output=True, text=True, timeout=30)
        assert out.returncode == 0, out.stderr
        # The client runs in the background: wait (bounded) until both have started.
        wanted = 2 if display else 1
        for _ in range(100):
            if os.path.exists(record) and len(open(record).read().splitlines()) == wanted:
                break
            time.sleep(0.05)
        return out.stdout.splitlines(), sorted(open(record).read().splitlines())


failures = []


def expect(what, actual, wanted):
    if actual != wanted:
        failures.append(f"{what}: {actual!r}, wanted {wanted!r}")


local = "kivol: play in a browser on this machine at http://localhost:16580/"
lines, started = run("127.0.0.1 192.0.2.7 2001:db8::7", display=True)
expect("with a display, printed", lines,
       [local, "kivol: from another machine on the LAN at http://192.0.2.7:16580/"])
expect("with a display, started", started, ["kivolcli --connect localhost", "kivolsrv "])

lines, started = run("fe80::1 2001:db8::7", display=False)
expect("headless, IPv6 only, printed", lines[:2],
       [local, "kivol: from another machine on the LAN at http://[2001:db8::7]:16580/"])
expect("headless, started", started, ["kivolsrv "])

lines, _ = run("", display=False)
expect("no LAN address, printed", lines[:1] + [l for l in lines if "LAN" in l], [local])

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("ok")
