#!/usr/bin/env python3
"""Installs the build into scratch folders (DESTDIR), once per package
component, and checks each tree against what its Debian package must hold:
the exact file list, the client's link in bin, the desktop entry and metainfo
(through desktop-file-validate and appstreamcli), the icons, the systemd unit
(through systemd-analyze), the programs answering --version, and the client,
started through its link, opening its sounds from its own folder.

Usage: check_installed_tree.py BUILD_DIR INSTALL_PREFIX APP_ID VERSION
"""
import ctypes
import os
import struct
import subprocess
import sys
import tempfile
import time

build, prefix, app_id, version = sys.argv[1:5]
prefix = prefix.lstrip("/")
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def install(component, root):
    subprocess.run(["cmake", "--install", build, "--component", component],
                   env=dict(os.environ, DESTDIR=root), check=True, stdout=subprocess.DEVNULL)
    return os.path.join(root, prefix)


def tree(top):
    found = set()
    for folder, dirs, files in os.walk(top):
        for name in files + [d for d in dirs if os.path.islink(os.path.join(folder, d))]:
            found.add(os.path.relpath(os.path.join(folder, name), top))
    return found


def run(*command, **kwargs):
    return subprocess.run(list(command), capture_output=True, text=True, timeout=60, **kwargs)


class FileOpens:
    """The names of files opened in one folder, seen through inotify."""
    IN_OPEN = 0x20

    def __init__(self, folder):
        self.libc = ctypes.CDLL(None, use_errno=True)
        self.fd = self.libc.inotify_init1(os.O_NONBLOCK)
        if self.fd < 0 or self.libc.inotify_add_watch(self.fd, folder.encode(), self.IN_OPEN) < 0:
            raise OSError(ctypes.get_errno(), "inotify")
        self.names = set()

    def collect(self):
        try:
            data = os.read(self.fd, 65536)
        except BlockingIOError:
            return
        offset = 0
        while offset < len(data):
            _, _, _, length = struct.unpack_from("iIII", data, offset)
            name = data[offset + 16:offset + 16 + length].rstrip(b"\0").decode()
            self.names.add(name)
            offset += 16 + length

    def wait_for(self, names, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline and not names <= self.names:
            self.collect()
            time.sleep(0.05)  # polling the event queue; the deadline bounds the wait
        return names <= self.names


scratch = tempfile.mkdtemp(prefix="kivol-install-")
env = dict(os.environ, QT_QPA_PLATFORM="offscreen", ASAN_OPTIONS="detect_leaks=0")

# The server package: the programs, the unit and the browser client's web root, nothing else.
server = install("server", os.path.join(scratch, "server"))
unit = f"lib/systemd/system/kivolsrv.service"
web = {f for f in tree(server) if f.startswith("share/kivol/web/")}
check(tree(server) - web == {"bin/kivolsrv", "bin/kivolctl", unit}, f"server tree: {sorted(tree(server))}")
check("share/kivol/web/index.html" in web and any(f.startswith("share/kivol/web/assets/app.") for f in web),
      f"web root: {sorted(web)}")
for program in ["kivolsrv", "kivolctl"]:
    answer = run(os.path.join(server, "bin", program), "--version", env=env)
    check(answer.returncode == 0 and answer.stdout == f"{program} {version}\n", f"{program} --version: {answer}")
text = open(os.path.join(server, unit)).read()
for line in ["DynamicUser=yes", "RuntimeDirectory=kivol", "StateDirectory=kivol", "Restart=on-failure", "StandardOutput=journal", "ProtectSystem=strict",
             f"ExecStart=/{prefix}/bin/kivolsrv --headless", "WantedBy=multi-user.target"]:
    check(line in text, f"unit lacks {line}")
# systemd checks the unit against the program where it was installed.
checked_unit = os.path.join(scratch, "kivolsrv.service")
with open(checked_unit, "w") as f:
    f.write(text.replace(f"/{prefix}/bin/kivolsrv", os.path.join(server, "bin/kivolsrv")))
verify = run("systemd-analyze", "verify", checked_unit)
check(verify.returncode == 0 and not verify.stderr.strip(), f"systemd-analyze verify: {verify.stderr}")

# The client package: the program with its files in a folder of its own,
# the link in bin, the menu entry, the metainfo and the icons.
client = install("client", os.path.join(scratch, "client"))
assets = {f"{n:02d}.bmp" for n in range(1, 55)} | {f"{s}.wav" for s in ["draw", "join", "hit", "message", "hele"]}
expected = ({"bin/kivolcli", "lib/kivol/kivolcli"} | {f"lib/kivol/{a}" for a in assets}
            | {f"share/applications/{app_id}.desktop", f"share/metainfo/{app_id}.metainfo.xml",
               f"share/icons/hicolor/scalable/apps/{app_id}.svg"}
            | {f"share/icons/hicolor/{s}x{s}/apps/{app_id}.png" for s in [48, 64, 128, 256]})
actual = tree(client)
check(actual == expected, f"client tree: missing {sorted(expected - actual)}, extra {sorted(actual - expected)}")
link = os.path.join(client, "bin/kivolcli")
check(os.path.islink(link) and os.readlink(link) == "../lib/kivol/kivolcli", f"bin/kivolcli is no relative link")
with open(os.path.join(client, f"share/icons/hicolor/48x48/apps/{app_id}.png"), "rb") as f:
    header = f.read(26)
check(header[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", header[16:24]) == (48, 48)
      and header[25] == 6, "the 48x48 icon is no 48x48 PNG with alpha")

desktop = os.path.join(client, f"share/applications/{app_id}.desktop")
result = run("desktop-file-validate", desktop)
check(result.returncode == 0 and not result.stdout.strip(), f"desktop-file-validate: {result.stdout}")
entry = open(desktop, encoding="utf-8").read()
for line in ["Categories=Game;CardGame;", "Exec=kivolcli %u", "MimeType=x-scheme-handler/kivol;", f"Icon={app_id}", "Name[ja]=", "Comment[ja]="]:
    check(line in entry, f"desktop entry lacks {line}")
result = run("appstreamcli", "validate", "--no-net", "--explain",
             os.path.join(client, f"share/metainfo/{app_id}.metainfo.xml"))
check(result.returncode == 0, f"appstreamcli validate: {result.stdout}")

answer = run(link, "--version", env=env)
check(answer.returncode == 0 and answer.stdout == f"kivolcli {version}\n", f"kivolcli --version: {answer}")

# Started through its link, the client reads its sounds from the folder of
# its real file.
opens = FileOpens(os.path.join(client, "lib/kivol"))
player = subprocess.Popen([link], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
try:
    sounds = {f"{s}.wav" for s in ["draw", "join", "hit", "message", "hele"]}
    check(opens.wait_for(sounds, 30), f"the client opened only {sorted(opens.names)} in its folder")
finally:
    player.kill()
    player.wait()

subprocess.run(["rm", "-rf", scratch], check=True)
for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
