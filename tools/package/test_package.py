#!/usr/bin/env python3
"""The sample package: what QuorviPhoneAx.zip holds, that Quorvi.exe starts,
shows its window and leaves its launch marker, and that QuorviUnInstall.exe
takes back what the installer's own registration (quorvi-sys register) wrote,
in the real Wine registry and shell folders, and nothing else."""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

BUILD = os.environ["QUORVI_BUILD"]
WINE = os.environ["QUORVI_WINE"]
sys.path.insert(0, os.path.join(os.environ["QUORVI_SOURCE"], "tests", "fixtures"))
from wine_registry import reg_query  # noqa: E402
PACKAGE_DIR = os.path.join(BUILD, "package")
BIN = os.path.join(BUILD, "bin")
PREFIX = os.path.join(BUILD, "wineprefix")
DRIVER = os.path.join(BIN, "quorvi-uidriver.exe")
SYS_TOOL = os.path.join(BIN, "quorvi-sys.exe")
PACKAGE = os.path.join(PACKAGE_DIR, "QuorviPhoneAx.zip")

PRODUCT = "Quorvi手机助手"
RUN_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
UNINSTALL_ROOT = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
UNINSTALL_KEY = UNINSTALL_ROOT + "\\" + PRODUCT
OTHER_UNINSTALL_KEY = UNINSTALL_ROOT + "\\QuorviTestNeighbour"
VERSION_KEY = r"HKCU\Software\ZELKvesion"
PENDING_KEY = r"HKLM\System\CurrentControlSet\Control\Session Manager"

DATA_FILES = ["data/config.ini", "data/readme.txt", "data/empty.log", "skins/默认/皮肤说明.txt", "skins/默认/背景.dat"]
FOLDERS = ["", "data/", "skins/", "skins/默认/"]


def wine(*args, timeout=120):
    return subprocess.run([WINE, *args], capture_output=True, timeout=timeout)


def reg_import(lines):
    """Applies registry changes in one Wine start: .reg lines, keys in full
    (HKEY_...), [-KEY] deletes a key, "name"=- a value."""
    with tempfile.NamedTemporaryFile("wb", suffix=".reg", delete=False) as f:
        f.write("\r\n".join(["Windows Registry Editor Version 5.00", ""] + lines + [""]).encode("utf-16"))
    try:
        assert wine("reg", "import", windows_path(f.name)).returncode == 0
    finally:
        os.remove(f.name)


def full(key):
    return key.replace("HKLM", "HKEY_LOCAL_MACHINE", 1).replace("HKCU", "HKEY_CURRENT_USER", 1)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def common_desktop():
    return os.path.join(PREFIX, "drive_c", "users", "Public", "Desktop")


def start_menu_folder():
    programs = [p for p in glob.glob(os.path.join(PREFIX, "drive_c", "users", "*", "AppData", "Roaming", "Microsoft",
                                                  "Windows", "Start Menu", "Programs")) if "/Public/" not in p]
    assert len(programs) == 1, programs
    return os.path.join(programs[0], PRODUCT)


def files_below(folder):
    return sorted(os.path.relpath(os.path.join(r, f), folder) for r, _, fs in os.walk(folder) for f in fs)


def drive(program, commands, *args):
    """Runs the UI driver over a program; returns its answer lines."""
    result = subprocess.run([WINE, DRIVER, program, *args], input="\n".join(commands).encode("utf-8") + b"\n",
                            capture_output=True, timeout=120)
    return result.stdout.decode("utf-8").splitlines()


class PackageContents(unittest.TestCase):
    def test_members(self):
        with zipfile.ZipFile(PACKAGE) as z:
            infos = z.infolist()
            self.assertIsNone(z.testzip())
        names = [i.filename for i in infos]
        expected = ["QuorviPhoneAx/" + f for f in FOLDERS + ["Quorvi.exe", "QuorviUnInstall.exe"] + DATA_FILES]
        self.assertEqual(sorted(names), sorted(expected))
        for info in infos:
            with self.subTest(member=info.filename):
                if info.is_dir():
                    self.assertEqual(info.file_size, 0)
                else:
                    self.assertEqual(info.compress_type, zipfile.ZIP_DEFLATED)
                # names beyond ASCII are marked as UTF-8, the encoding the reader expects
                self.assertEqual(bool(info.flag_bits & 0x800), not info.filename.isascii())

    def test_programs_are_the_built_ones(self):
        with zipfile.ZipFile(PACKAGE) as z:
            for name in ("Quorvi.exe", "QuorviUnInstall.exe"):
                with self.subTest(program=name), open(os.path.join(BIN, name), "rb") as built:
                    data = z.read("QuorviPhoneAx/" + name)
                    self.assertEqual(data[:2], b"MZ")
                    self.assertEqual(data, built.read())

    def test_full_installer_stand_in(self):
        with open(os.path.join(PACKAGE_DIR, "InStallComplete.exe"), "rb") as f:
            data = f.read()
        self.assertTrue(0 < len(data) < 4096)


class Installed(unittest.TestCase):
    """The package unpacked into a folder with a Chinese name and a blank, and
    registered the way the installer does it."""

    def setUp(self):
        self.clean()
        self.addCleanup(self.clean)
        self.root = tempfile.mkdtemp(prefix="quorvi-package-")
        self.addCleanup(shutil.rmtree, self.root, True)
        self.install = os.path.join(self.root, "安装 目录")
        with zipfile.ZipFile(PACKAGE) as z:
            z.extractall(self.install)
        self.app_folder = os.path.join(self.install, "QuorviPhoneAx")
        # things the application made while it ran, and something of the user's beside it
        os.makedirs(os.path.join(self.app_folder, "cache", "深"))
        with open(os.path.join(self.app_folder, "cache", "深", "user.db"), "wb") as f:
            f.write(b"x" * 100)
        with open(os.path.join(self.install, "keep.txt"), "w") as f:
            f.write("the user's own")
        self.app = windows_path(os.path.join(self.app_folder, "Quorvi.exe"))
        self.uninstaller = windows_path(os.path.join(self.app_folder, "QuorviUnInstall.exe"))

    def clean(self):
        reg_import(["[-%s]" % full(UNINSTALL_KEY), "[-%s]" % full(OTHER_UNINSTALL_KEY), "[-%s]" % full(VERSION_KEY),
                    "[%s]" % full(RUN_KEY), '"%s"=-' % PRODUCT, '"QuorviTestNeighbour"=-'])
        shutil.rmtree(start_menu_folder(), ignore_errors=True)
        link = os.path.join(common_desktop(), PRODUCT + ".lnk")
        if os.path.exists(link):
            os.remove(link)

    def register(self):
        for args in ((self.app, "0", "1", "1", "1"), (self.uninstaller, "1", "0", "1", "0")):
            result = wine(SYS_TOOL, "register", *args)
            self.assertEqual(result.stdout.decode("utf-8").split(), ["registered"])
        # neighbours that must survive
        reg_import(["[%s]" % full(RUN_KEY), '"QuorviTestNeighbour"="C:\\\\other.exe"',
                    "[%s]" % full(OTHER_UNINSTALL_KEY), '"DisplayName"="Neighbour"'])
        self.links = [os.path.join(common_desktop(), PRODUCT + ".lnk"),
                      os.path.join(start_menu_folder(), PRODUCT + ".lnk"),
                      os.path.join(start_menu_folder(), PRODUCT + "卸载.lnk")]
        for link in self.links:
            self.assertTrue(os.path.isfile(link), link)
        self.assertEqual(reg_query(VERSION_KEY), {"CurrentVesion": "1.08"})
        self.assertEqual(reg_query(UNINSTALL_KEY)["UninstallString"], self.uninstaller)

    def assert_registration_gone(self):
        self.assertNotIn(PRODUCT, reg_query(RUN_KEY))
        self.assertEqual(reg_query(RUN_KEY)["QuorviTestNeighbour"], "C:\\other.exe")
        self.assertIsNone(reg_query(UNINSTALL_KEY))
        self.assertEqual(reg_query(OTHER_UNINSTALL_KEY), {"DisplayName": "Neighbour"})
        for link in self.links:
            self.assertFalse(os.path.exists(link), link)

    def test_quiet_uninstall(self):
        # (what else lives in the version key and the start-menu folder, whether they stay)
        cases = [("alone", False), ("shared", True)]
        for name, shared in cases:
            with self.subTest(case=name):
                self.register()
                if shared:
                    reg_import(["[%s]" % full(VERSION_KEY), '"Other"="x"'])
                    with open(os.path.join(start_menu_folder(), "自己的.lnk"), "wb") as f:
                        f.write(b"L\0\0\0")
                if os.path.isdir(self.app_folder):
                    shutil.rmtree(self.app_folder)
                with zipfile.ZipFile(PACKAGE) as z:
                    z.extractall(self.install)
                self.assertEqual(wine(self.uninstaller, "/quiet").returncode, 0)

                self.assert_registration_gone()
                self.assertEqual(reg_query(VERSION_KEY), {"Other": "x"} if shared else None)
                self.assertEqual(os.path.isdir(start_menu_folder()), shared)
                # everything but the running uninstaller is gone; it waits for the next restart
                self.assertEqual(files_below(self.app_folder), ["QuorviUnInstall.exe"])
                pending = reg_query(PENDING_KEY).get("PendingFileRenameOperations", "")
                self.assertIn(self.uninstaller, pending)
                self.assertIn(windows_path(self.app_folder), pending)
                # the folder above the application folder is the user's
                self.assertEqual(files_below(self.install), ["QuorviPhoneAx/QuorviUnInstall.exe", "keep.txt"])
                self.clean()

    def test_copy_elsewhere_leaves_its_folder(self):
        self.register()
        elsewhere = os.path.join(self.root, "下载")
        os.makedirs(elsewhere)
        shutil.copy(os.path.join(self.app_folder, "QuorviUnInstall.exe"), elsewhere)
        with open(os.path.join(elsewhere, "other.txt"), "w") as f:
            f.write("not ours")
        self.assertEqual(wine(windows_path(os.path.join(elsewhere, "QuorviUnInstall.exe")), "/quiet").returncode, 0)
        self.assert_registration_gone()
        self.assertEqual(files_below(elsewhere), ["QuorviUnInstall.exe", "other.txt"])

    def test_confirmation(self):
        # (button pressed on the question, what follows, exit code)
        cases = [(2, [], 1), (1, ["dialog 5000", "press 1"], 0)]
        question = "dialog Quorvi手机助手卸载 | 确定要卸载Quorvi手机助手吗？"
        done = "dialog Quorvi手机助手卸载 | Quorvi手机助手已卸载。"
        for button, more, code in cases:
            with self.subTest(button=button):
                self.register()
                lines = drive(self.uninstaller, ["dialog 20000", "press %d" % button, *more, "wait-exit 20000"])
                expected = [question, "ok"] + ([done, "ok"] if more else []) + ["exit %d" % code] * 2
                self.assertEqual(lines, expected)
                if code == 1:
                    self.assertEqual(reg_query(RUN_KEY)[PRODUCT], self.app)
                    for link in self.links:
                        self.assertTrue(os.path.isfile(link), link)
                    self.assertIn("Quorvi.exe", files_below(self.app_folder))
                else:
                    self.assert_registration_gone()
                self.clean()

    def test_application_window_and_launch_marker(self):
        temp = wine("cmd", "/c", "echo %TEMP%").stdout.decode("gbk").strip()
        marker = os.path.join(wine("winepath", "-u", temp).stdout.decode("utf-8").strip(), "quorvi-launched.txt")
        before = os.path.getsize(marker) if os.path.exists(marker) else 0
        lines = drive(self.app, ["window %s 20000" % PRODUCT, "sleep 500", "window %s 100" % PRODUCT,
                                 "wait-exit 100"])
        # it stays up until it is closed: the driver ends it at the end of its input
        self.assertEqual(lines, ["ok", "ok", "ok", "timeout", "exit 9999"])
        with open(marker, "rb") as f:
            added = f.read()[before:].decode("utf-8")
        self.assertRegex(added, r"^" + re.escape(self.app) + r"\t\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\n$")


if __name__ == "__main__":
    unittest.main()
