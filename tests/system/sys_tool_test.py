#!/usr/bin/env python3
"""quorvi-sys.exe against the real thing under Wine: the Wine registry and
shell folders, a service registered with the service control manager,
running processes, and a loopback report collector."""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from report_collector import Collector  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fixtures"))
from wine_registry import reg_query as _reg_query  # noqa: E402


def reg_query(key):
    return _reg_query(key, types=True)


BUILD = os.environ["QUORVI_BUILD"]
WINE = os.environ["QUORVI_WINE"]
BIN = os.path.join(BUILD, "bin")
PREFIX = os.path.join(BUILD, "wineprefix")
TOOL = os.path.join(BIN, "quorvi-sys.exe")
SERVICE = os.path.join(BIN, "quorvi-test-service.exe")

PRODUCT = "Quorvi手机助手"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall" + "\\" + PRODUCT
RUN_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
VERSION_KEY = r"HKCU\Software\ZELKvesion"


def wine(*args, timeout=120):
    return subprocess.run([WINE, *args], capture_output=True, timeout=timeout)


def tool(*args, timeout=120):
    result = wine(TOOL, *args, timeout=timeout)
    return result.returncode, result.stdout.decode("utf-8").splitlines()




def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def common_desktop():
    return os.path.join(PREFIX, "drive_c", "users", "Public", "Desktop")


def start_menu_folder():
    programs = glob.glob(os.path.join(PREFIX, "drive_c", "users", "*", "AppData", "Roaming", "Microsoft",
                                      "Windows", "Start Menu", "Programs"))
    programs = [p for p in programs if "/Public/" not in p]
    assert len(programs) == 1, programs
    return os.path.join(programs[0], PRODUCT)


class Register(unittest.TestCase):
    def setUp(self):
        self.clean()
        self.folder = tempfile.mkdtemp(prefix="quorvi-reg-")
        install = os.path.join(self.folder, "安装", "QuorviPhoneAx")
        os.makedirs(install)
        self.app = windows_path(os.path.join(install, "Quorvi.exe"))
        self.uninstaller = windows_path(os.path.join(install, "QuorviUnInstall.exe"))
        for path in (self.app, self.uninstaller):
            open(path[2:].replace("\\", "/"), "wb").close()

    def tearDown(self):
        self.clean()
        shutil.rmtree(self.folder, ignore_errors=True)

    def clean(self):
        wine("reg", "delete", UNINSTALL_KEY, "/f")
        wine("reg", "delete", VERSION_KEY, "/f")
        wine("reg", "delete", RUN_KEY, "/v", PRODUCT, "/f")
        shutil.rmtree(start_menu_folder(), ignore_errors=True)
        link = os.path.join(common_desktop(), PRODUCT + ".lnk")
        if os.path.exists(link):
            os.remove(link)

    def assert_link(self, path, target):
        self.assertTrue(os.path.isfile(path), path)
        with open(path, "rb") as f:
            data = f.read()
        self.assertEqual(data[:4], b"\x4c\x00\x00\x00", "shell link header")
        # the description is the target path, stored as UTF-16
        self.assertIn(target.encode("utf-16-le"), data)

    def test_installer_sequence(self):
        self.assertEqual(tool("register", self.app, "0", "1", "1", "1"), (0, ["registered"]))
        self.assertEqual(tool("register", self.uninstaller, "1", "0", "1", "0"), (0, ["registered"]))

        self.assert_link(os.path.join(common_desktop(), PRODUCT + ".lnk"), self.app)
        self.assert_link(os.path.join(start_menu_folder(), PRODUCT + ".lnk"), self.app)
        self.assert_link(os.path.join(start_menu_folder(), PRODUCT + "卸载.lnk"), self.uninstaller)

        self.assertEqual(reg_query(RUN_KEY).get(PRODUCT), ("REG_SZ", self.app))
        uninstall = reg_query(UNINSTALL_KEY)
        home = uninstall.get("URLInfoAbout", ("", ""))[1]
        self.assertRegex(home, r"^http://[^/]+/$")
        self.assertEqual(uninstall, {
            "DisplayName": ("REG_SZ", PRODUCT),
            "DisplayVersion": ("REG_SZ", "1.08"),
            "URLInfoAbout": ("REG_SZ", home),
            "UninstallString": ("REG_SZ", self.uninstaller),
            "DisplayIcon": ("REG_SZ", self.uninstaller),
            "Publisher": ("REG_SZ", PRODUCT),
        })
        self.assertEqual(reg_query(VERSION_KEY), {"CurrentVesion": ("REG_SZ", "1.08")})

    def test_nothing_chosen_writes_nothing(self):
        self.assertEqual(tool("register", self.app, "0", "0", "0", "0"), (0, ["registered"]))
        self.assertIsNone(reg_query(UNINSTALL_KEY))
        self.assertIsNone(reg_query(VERSION_KEY))
        self.assertNotIn(PRODUCT, reg_query(RUN_KEY) or {})
        self.assertFalse(os.path.exists(start_menu_folder()))
        self.assertFalse(os.path.exists(os.path.join(common_desktop(), PRODUCT + ".lnk")))

    def test_bad_arguments(self):
        for args in (["register"], ["register", self.app, "2", "0", "0", "0"],
                     ["register", self.app, "0", "x", "0", "0"], ["register", self.app, "0", "0", "0"]):
            code, _ = tool(*args)
            self.assertEqual(code, 64, args)
        self.assertIsNone(reg_query(UNINSTALL_KEY))


class StopService(unittest.TestCase):
    def setUp(self):
        self.name = "QuorviToolSvc%d" % os.getpid()
        wine(SERVICE, "remove", self.name)
        self.assertEqual(wine(SERVICE, "install", self.name).returncode, 0)

    def tearDown(self):
        wine(SERVICE, "remove", self.name)

    def test_cases(self):
        cases = [
            ("not installed", "QuorviNoSuchService", None, "not-stopped"),
            ("already stopped", self.name, None, "stopped"),
            ("stops at once", self.name, "stop", "stopped"),
            ("stops with progress", self.name, "progress", "stopped"),
            ("frozen check point", self.name, "hang", "not-stopped"),
        ]
        for label, name, mode, expected in cases:
            with self.subTest(label):
                if mode:
                    self.assertEqual(wine(SERVICE, "start", self.name, mode).returncode, 0)
                code, out = tool("stop-service", name)
                self.assertEqual(out, [expected])
                self.assertEqual(code, 0 if expected == "stopped" else 1)


class Kill(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="quorvi-kill-")
        self.running = []

    def tearDown(self):
        names = sorted({name for name, _ in self.running})
        if names:
            tool("kill", *names)
        for _, process in self.running:
            try:
                process.wait(15)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        shutil.rmtree(self.folder, ignore_errors=True)

    def start(self, name):
        folder = os.path.join(self.folder, str(len(self.running)))
        os.makedirs(folder)
        exe = os.path.join(folder, name)
        shutil.copy(os.path.join(BIN, "quorvi-sleeper.exe"), exe)
        process = subprocess.Popen([WINE, exe, "--ready"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL)
        self.running.append((name, process))
        # the sleeper says so once it runs (it ends by itself after a minute)
        self.assertEqual(process.stdout.readline(), b"ready\n", name)

    def test_right_ones_end(self):
        cases = [("adb.exe", True), ("ADB.EXE", True), ("Adb.exe", True), ("Adb.exe", True),
                 ("httpd.exe", True), ("httpd2.exe", False), ("http.exe", False)]
        for name, _ in cases:
            self.start(name)
        self.assertEqual(tool("kill", "adb.exe", "httpd.exe"), (0, ["done"]))
        for (name, ends), (_, process) in zip(cases, self.running):
            if ends:
                self.assertEqual(process.wait(15), 0, name)
            else:
                self.assertIsNone(process.poll(), name)

    def test_usage(self):
        self.assertEqual(tool("kill")[0], 64)


def machine_macs():
    macs = set()
    for path in glob.glob("/sys/class/net/*/address"):
        with open(path) as f:
            macs.add(f.read().strip().upper().replace(":", "-"))
    return macs


def escape(body):
    out = ""
    for byte in body:
        c = chr(byte)
        if c == "\\":
            out += "\\\\"
        elif c == "\n":
            out += "\\n"
        elif c == "\r":
            out += "\\r"
        elif c == "\t":
            out += "\\t"
        elif 0x20 <= byte < 0x7f:
            out += c
        else:
            out += "\\x%02X" % byte
    return out


class Report(unittest.TestCase):
    def setUp(self):
        self.collector = Collector()

    def tearDown(self):
        self.collector.close()

    def test_report_reaches_the_collector(self):
        for args, report_type in (([], 100), (["7"], 7)):
            with self.subTest(args=args):
                before = len(self.collector.requests)
                code, out = tool("report", *args, "--host", "127.0.0.1", "--port", str(self.collector.port))
                self.assertEqual(code, 0)
                self.assertEqual(len(out), 2, out)
                self.assertEqual(out[1], "sent")
                self.assertTrue(self.collector.wait(before + 1))
                request = self.collector.requests[before]
                self.assertEqual(request["method"], "POST")
                self.assertEqual(request["path"], "/fbInfo/saveInfo")
                self.assertEqual(Collector.header(request, "User-Agent"), "MyAgent")
                self.assertEqual(Collector.header(request, "Content-Type"), "application/x-www-form-urlencoded")
                body = request["body"]
                self.assertEqual(out[0], "body " + escape(body), "printed byte for byte")
                match = re.fullmatch(rb"type=(-?\d+)&time=(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)&mac=(.*)"
                                     rb"&apkid=&AdditionalInfo=", body, re.S)
                self.assertIsNotNone(match, body)
                self.assertEqual(int(match.group(1)), report_type)
                mac = match.group(3).decode("ascii")
                # empty when the adapter list does not fit; else one of this machine's adapters
                if mac:
                    self.assertTrue(mac.endswith("\n"), mac)
                    self.assertIn(mac[:-1], machine_macs())

    def test_unreachable_server(self):
        port = self.collector.port
        self.collector.close()
        code, out = tool("report", "--host", "127.0.0.1", "--port", str(port))
        self.assertEqual((code, out[1:]), (0, ["sent"]), "handed to WinINet whatever the send did")

    def test_usage(self):
        for args in (["--port", "0"], ["--port", "70000"], ["1", "2"], ["--host"], ["x"]):
            self.assertEqual(tool("report", *args)[0], 64, args)


if __name__ == "__main__":
    unittest.main(verbosity=2)
