"""The world Install.exe meets in the end-to-end tests and the demo: a real
nginx serving the package, the agreement page and the full installer on the
package server's loopback port; a report collector on the report port; the
Wine prefix's browser hook recording every address handed to the shell; and
the UI driver that works the window as a user would.

Environment: QUORVI_BUILD (build folder), QUORVI_WINE (its wine-run wrapper),
QUORVI_SOURCE (the source tree).
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time

SOURCE = os.environ.get("QUORVI_SOURCE", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BUILD = os.environ.get("QUORVI_BUILD", os.path.join(SOURCE, "build"))
WINE = os.environ.get("QUORVI_WINE", os.path.join(BUILD, "wine-run"))
sys.path.insert(0, os.path.join(SOURCE, "tests", "fixtures"))
sys.path.insert(0, os.path.join(SOURCE, "tests", "system"))
from nginx import Nginx  # noqa: E402
from report_collector import Collector  # noqa: E402

PACKAGE_PORT = 47080
REPORT_PORT = 47081
WINDOW_TITLE = "Quorvi手机助手安装程序"
BIN = os.path.join(BUILD, "bin")
PREFIX = os.path.join(BUILD, "wineprefix")


def wine(*args, timeout=120, **kw):
    return subprocess.run([WINE] + list(args), capture_output=True, timeout=timeout, **kw)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def wine_temp_folder():
    """The Linux path of the prefix user's temporary folder."""
    hits = glob.glob(os.path.join(PREFIX, "drive_c", "users", "*", "AppData", "Local", "Temp")) + glob.glob(
        os.path.join(PREFIX, "drive_c", "users", "*", "Temp"))
    hits = [h for h in hits if os.path.basename(os.path.dirname(os.path.dirname(os.path.dirname(h)))) != "Public"]
    return hits[0] if hits else None


class InstallerWorld:
    """Servers and hooks around one or more runs of Install.exe."""

    def __init__(self, package=None, rates=None):
        self.package = package or os.path.join(BUILD, "package", "QuorviPhoneAx.zip")
        self.rates = rates
        self.dir = tempfile.mkdtemp(prefix="quorvi-e2e-")
        self.root = os.path.join(self.dir, "www")
        self.opened = os.path.join(self.dir, "opened.txt")
        self.nginx = None
        self.collector = None

    def __enter__(self):
        os.makedirs(os.path.join(self.root, "consezip"))
        self.set_package(self.package)
        full = os.path.join(BUILD, "package", "InStallComplete.exe")
        shutil.copy(full, os.path.join(self.root, "consezip", "InStallComplete.exe"))
        with open(os.path.join(self.root, "terms.html"), "w") as f:
            f.write("<html><body>Quorvi terms</body></html>\n")
        self.nginx = Nginx(self.root, port=PACKAGE_PORT, rates=self.rates).__enter__()
        self.collector = Collector(port=REPORT_PORT)
        self._hook_browser()
        self.clear_temp_package()
        return self

    def __exit__(self, *exc):
        if self.collector:
            self.collector.close()
        if self.nginx:
            self.nginx.__exit__(*exc)
        shutil.rmtree(self.dir, ignore_errors=True)

    def set_package(self, path):
        target = os.path.join(self.root, "consezip", "QuorviPhoneAx.zip")
        if path is None:
            if os.path.exists(target):
                os.remove(target)
        else:
            shutil.copy(path, target)

    def _hook_browser(self):
        # Wine hands http addresses to the programs listed here; ours records them
        recorder = os.path.join(self.dir, "record-url")
        with open(recorder, "w") as f:
            f.write("#!/bin/sh\nprintf '%%s\\n' \"$*\" >> '%s'\n" % self.opened)
        os.chmod(recorder, 0o755)
        wine("reg", "add", "HKCU\\Software\\Wine\\WineBrowser", "/v", "Browsers", "/d", recorder, "/f")

    def opened_urls(self):
        if not os.path.exists(self.opened):
            return []
        with open(self.opened) as f:
            return [line.strip() for line in f if line.strip()]

    def clear_temp_package(self):
        temp = wine_temp_folder()
        if temp:
            for name in glob.glob(os.path.join(temp, "QuorviPhoneAx.zip*")):
                os.remove(name)

    def temp_package(self):
        temp = wine_temp_folder()
        return os.path.join(temp, "QuorviPhoneAx.zip") if temp else None


class Driver:
    """quorvi-uidriver.exe running Install.exe: one command in, one line out."""

    def __init__(self, program=None, args=()):
        program = program or os.path.join(BIN, "Install.exe")
        self.process = subprocess.Popen([WINE, os.path.join(BIN, "quorvi-uidriver.exe"), program] + list(args),
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.log = []

    def __call__(self, command, timeout=60):
        self.process.stdin.write((command + "\n").encode("utf-8"))
        self.process.stdin.flush()
        line = self._readline(timeout)
        self.log.append((command, line))
        return line

    def _readline(self, timeout):
        import select
        deadline = time.time() + timeout
        buffer = b""
        while not buffer.endswith(b"\n"):
            left = deadline - time.time()
            if left <= 0 or not select.select([self.process.stdout], [], [], left)[0]:
                raise TimeoutError("driver gave no answer: %r" % self.log[-3:])
            chunk = os.read(self.process.stdout.fileno(), 1)
            if not chunk:
                raise EOFError("driver ended: %r" % self.log[-3:])
            buffer += chunk
        return buffer.decode("utf-8").rstrip("\r\n")

    def close(self):
        try:
            self.process.stdin.close()
        except OSError:
            pass
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
