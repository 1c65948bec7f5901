#!/usr/bin/env python3
"""Install.exe end to end under Wine: a user works the window through the UI
driver; a real nginx serves the package; the report lands in a loopback
collector; files, registry values and shell links are read back."""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from installer_env import (BIN, BUILD, PREFIX, SOURCE, WINDOW_TITLE, Driver, InstallerWorld, wine,  # noqa: E402
                           wine_temp_folder, windows_path)

sys.path.insert(0, os.path.join(SOURCE, "tests", "extract"))
import make_zips  # noqa: E402

sys.path.insert(0, os.path.join(SOURCE, "tests", "fixtures"))
from wine_registry import reg_query  # noqa: E402

PACKAGE = os.path.join(BUILD, "package", "QuorviPhoneAx.zip")
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvi手机助手"
RUN_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
VERSION_KEY = "HKCU\\Software\\ZELKvesion"
TRY_NOW = "立即体验"
MISSING_FOLDER = "未知的位置,请确定目录是否存在或手动创建目录"
DOWNLOAD_FAILED = "网络异常,安装失败.您可以直接下载完整的安装包进行安装，点击确定开始下载完整安装包!"
EXTRACT_FAILED = "解压文件失败,请使用管理员身份运行程序"


def reg_values(key):
    return reg_query(key) or {}


def links():
    found = glob.glob(os.path.join(PREFIX, "drive_c", "users", "**", "*.lnk"), recursive=True)
    return {os.path.relpath(p, os.path.join(PREFIX, "drive_c", "users")): p for p in found if "Quorvi" in p}


def forget_installation():
    for key in (UNINSTALL_KEY, VERSION_KEY):
        wine("reg", "delete", key, "/f")
    wine("reg", "delete", RUN_KEY, "/v", "Quorvi手机助手", "/f")
    for path in links().values():
        os.remove(path)


def end_launched_app():
    wine(os.path.join(BIN, "quorvi-sys.exe"), "kill", "Quorvi.exe")


def big_package(path, megabytes):
    """The sample package with an incompressible member, so that a limited
    server takes long enough to watch the progress page."""
    shutil.copy(PACKAGE, path)
    with zipfile.ZipFile(path, "a", zipfile.ZIP_STORED) as z:
        z.writestr("QuorviPhoneAx/data/big.bin", os.urandom(megabytes << 20))


def damaged_package(path):
    entries = [
        make_zips.Entry("QuorviPhoneAx/Quorvi.exe", b"MZ" + bytes(1000)),
        make_zips.Entry("QuorviPhoneAx/data/one.txt", make_zips.TEXT, damage=make_zips.bad_block),
        make_zips.Entry("QuorviPhoneAx/data/two.txt", make_zips.TEXT),
    ]
    with open(path, "wb") as f:
        f.write(make_zips.build(entries))


class InstallerTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="quorvi-e2e-test-")
        self.folder = os.path.join(self.work, "install")
        os.makedirs(self.folder)
        self.driver = None

    def tearDown(self):
        if self.driver:
            self.driver.close()
        end_launched_app()
        shutil.rmtree(self.work, ignore_errors=True)

    def start(self, folder=None):
        self.driver = d = Driver()
        self.assertEqual(d("window %s 30000" % WINDOW_TITLE), "ok")
        if folder is not False:
            self.assertEqual(d('type 1214 "%s\\"' % windows_path(folder or self.folder)), "ok")
        return d

    def until(self, command, want, seconds=10):
        """Polls a reading until it shows `want`: under load Wine hands the
        window its input a little after the driver has sent it."""
        got = None
        for _ in range(int(seconds * 10)):
            got = self.driver(command)
            if got == want:
                break
            self.driver("sleep 100")
        return got

    def exit_code(self, timeout=30000):
        return self.driver("wait-exit %d" % timeout, timeout=timeout / 1000 + 30)

    def wait_finish(self):
        self.assertEqual(self.driver('wait-text 1005 "%s" 120000' % TRY_NOW, timeout=150), "ok")

    def test_happy_path_against_nginx(self):
        forget_installation()
        with InstallerWorld() as world:
            d = self.start()
            self.assertEqual(d("click 1005"), "ok")
            self.assertEqual(d("wait-visible 1230 10000"), "ok")
            self.wait_finish()
            self.assertEqual(d("visible 1230"), "0")
            self.assertEqual(d("click 1005"), "ok")
            self.assertEqual(self.exit_code(), "exit 1005")

            # the package as it lay in the archive, below the chosen folder
            with zipfile.ZipFile(PACKAGE) as z:
                members = [n for n in z.namelist() if not n.endswith("/")]
                for name in members:
                    with open(os.path.join(self.folder, name), "rb") as f:
                        self.assertEqual(f.read(), z.read(name), name)
            app = windows_path(self.folder) + "\\QuorviPhoneAx\\Quorvi.exe"
            uninstaller = windows_path(self.folder) + "\\QuorviPhoneAx\\QuorviUnInstall.exe"
            self.assertIsNone(
                next((p for p in glob.glob(os.path.join(wine_temp_folder(), "QuorviPhoneAx.zip*"))), None),
                "the archive is deleted after registration")

            entry = reg_values(UNINSTALL_KEY)
            self.assertEqual(entry.get("UninstallString"), uninstaller)
            self.assertEqual(entry.get("DisplayName"), "Quorvi手机助手")
            self.assertEqual(entry.get("DisplayVersion"), "1.08")
            self.assertEqual(reg_values(RUN_KEY).get("Quorvi手机助手"), app)
            self.assertEqual(reg_values(VERSION_KEY).get("CurrentVesion"), "1.08")
            names = sorted(os.path.basename(p) for p in links())
            self.assertEqual(names, sorted(["Quorvi手机助手.lnk", "Quorvi手机助手.lnk", "Quorvi手机助手卸载.lnk"]))
            for rel, path in links().items():
                with open(path, "rb") as f:
                    target = "QuorviUnInstall.exe" if "卸载" in rel else "Quorvi.exe"
                    self.assertIn(target.encode("utf-16-le"), f.read(), rel)

            self.assertTrue(world.collector.wait(1, 10))
            request = world.collector.requests[0]
            self.assertEqual((request["method"], request["path"]), ("POST", "/fbInfo/saveInfo"))
            self.assertRegex(request["body"].decode("ascii"),
                             r"^type=100&time=\d{4}-\d\d-\d\d \d\d:\d\d:\d\d&mac=([0-9A-F]{2}-){5}[0-9A-F]{2}\n"
                             r"&apkid=&AdditionalInfo=$")
            launched = os.path.join(wine_temp_folder(), "quorvi-launched.txt")
            deadline = time.time() + 20
            while time.time() < deadline and not os.path.exists(launched):
                time.sleep(0.2)
            with open(launched, encoding="utf-8", errors="replace") as f:
                self.assertIn(os.path.basename(self.folder), f.read())

    def test_close_button_on_each_page(self):
        package = os.path.join(self.work, "big.zip")
        big_package(package, 8)
        with InstallerWorld(package=package, rates={"/consezip/": "128k"}) as world:
            d = self.start(folder=False)
            self.assertEqual(d("click 1009"), "ok")
            self.assertEqual(self.exit_code(), "exit 1009")
            self.driver.close()

            # on the progress page, while the download runs
            d = self.start()
            self.assertEqual(d("click 1005"), "ok")
            self.assertEqual(d("wait-visible 1230 10000"), "ok")
            self.assertEqual(d("wait-visible 1231 20000"), "ok")
            percent = ""
            for _ in range(100):
                percent = d("text 1231")
                if percent:
                    break
                d("sleep 100")
            self.assertRegex(percent, r"^\d{1,2}%$")
            self.assertEqual(d("click 1009"), "ok")
            self.assertEqual(self.exit_code(10000), "exit 1009")
            self.driver.close()
            world.clear_temp_package()

        with InstallerWorld() as world:
            d = self.start()
            self.assertEqual(d("click 1005"), "ok")
            self.wait_finish()
            self.assertEqual(d("click 1009"), "ok")
            self.assertEqual(self.exit_code(), "exit 1009")
            self.assertEqual(world.collector.requests, [])  # no report without try-now

    def test_agreement_unchecked_does_nothing(self):
        with InstallerWorld() as world:
            d = self.start()
            self.assertEqual(d("click 1232"), "ok")  # the label toggles the box
            self.assertEqual(self.until("checked 1006", "0"), "0")
            self.assertEqual(d("click 1007"), "ok")
            self.assertEqual(d("click 1005"), "ok")
            d("sleep 1500")
            self.assertEqual(d("height"), "398")  # the panel did not open
            self.assertEqual(d("visible 1005"), "1")
            self.assertEqual(d("visible 1230"), "0")
            self.assertFalse(os.path.exists(world.temp_package()))  # nothing was fetched
            self.assertEqual(d("dblclick 1232"), "ok")  # a double click toggles once, not twice
            d("sleep 1000")
            self.assertEqual(d("checked 1006"), "1")
            self.assertEqual(d("key 27"), "ok")  # Escape leaves the window alone
            self.assertEqual(d("visible 1005"), "1")
            self.assertEqual(d("click 1009"), "ok")
            self.assertEqual(self.exit_code(), "exit 1009")

    def test_panel_open_during_install(self):
        with InstallerWorld():
            d = self.start()
            self.assertEqual(d("click 1007"), "ok")
            self.assertEqual(self.until("height", "598"), "598")
            self.assertEqual(d("wait-visible 1008 5000"), "ok")
            d("sleep 300")  # let the display catch up with the taller window before clicking into it
            self.assertEqual(d("click 1234"), "ok")  # "开机启动" label
            self.assertEqual(self.until("checked 1219", "0"), "0")
            self.assertEqual(d("click 1005"), "ok")
            self.assertEqual(d("wait-visible 1230 10000"), "ok")
            self.assertEqual(self.until("height", "398"), "398")
            self.wait_finish()
            self.assertEqual(d("click 1009"), "ok")
            self.assertEqual(self.exit_code(), "exit 1009")

    def test_missing_folder_keeps_the_options_page(self):
        with InstallerWorld():
            d = self.start(folder=os.path.join(self.work, "no-parent", "child"))
            self.assertEqual(d("click 1005"), "ok")
            self.assertEqual(d("dialog 10000"), "dialog 提示 | " + MISSING_FOLDER)
            self.assertEqual(d("press 1"), "ok")
            self.assertEqual(d("window %s 5000" % WINDOW_TITLE), "ok")
            self.assertEqual(d("visible 1005"), "1")
            self.assertEqual(d("visible 1230"), "0")
            self.assertFalse(os.path.exists(os.path.join(self.work, "no-parent")))
            # a folder text longer than the folder buffers is refused the same way
            self.assertEqual(d('type 1214 "%s\\%s\\"' % (windows_path(self.work), "x" * 230)), "ok")
            self.assertEqual(d("click 1005"), "ok")
            self.assertEqual(d("dialog 10000"), "dialog 提示 | " + MISSING_FOLDER)
            self.assertEqual(d("press 1"), "ok")
            self.assertEqual(d("window %s 5000" % WINDOW_TITLE), "ok")
            self.assertEqual(d("click 1009"), "ok")
            self.assertEqual(self.exit_code(), "exit 1009")

    def test_cancelled_browser_puts_the_stored_folder_back(self):
        with InstallerWorld():
            d = self.start(folder=False)
            stored = d("text 1214")
            self.assertEqual(d('type 1214 "D:\\typed\\but\\not\\stored"'), "ok")
            self.assertEqual(d("click 1007"), "ok")
            self.assertEqual(self.until("height", "598"), "598")
            d("sleep 300")
            self.assertEqual(d("click 1216"), "ok")
            self.assertRegex(d("dialog 10000"), r"^dialog .* \| 选择解压文件路径$")  # the folder browser
            self.assertEqual(d("press 2"), "ok")
            self.assertEqual(d("window %s 5000" % WINDOW_TITLE), "ok")
            self.assertEqual(d("text 1214"), stored)
            self.assertEqual(d("click 1009"), "ok")
            self.assertEqual(self.exit_code(), "exit 1009")

    def test_download_failure(self):
        for answer, expected_exit in (("2", "exit 1005"), ("1", None)):
            with self.subTest(answer=answer), InstallerWorld() as world:
                world.set_package(None)  # 404
                d = self.start()
                self.assertEqual(d("click 1005"), "ok")
                self.assertEqual(d("dialog 30000"), "dialog 提示 | " + DOWNLOAD_FAILED)
                self.assertEqual(d("press %s" % answer), "ok")
                if expected_exit:
                    self.assertEqual(self.exit_code(), expected_exit)
                    self.assertEqual(world.opened_urls(), [])
                else:
                    deadline = time.time() + 15
                    while time.time() < deadline and not world.opened_urls():
                        time.sleep(0.2)
                    self.assertEqual(world.opened_urls(), ["http://127.0.0.1:47080/consezip/InStallComplete.exe"])
                    self.assertEqual(d("window %s 5000" % WINDOW_TITLE), "ok")  # stays on its progress page
                    self.assertEqual(d("visible 1230"), "1")
                    self.assertEqual(d("click 1009"), "ok")
                    self.assertEqual(self.exit_code(), "exit 1009")
                self.driver.close()
                self.driver = None

    def test_extraction_failure(self):
        package = os.path.join(self.work, "damaged.zip")
        damaged_package(package)
        with InstallerWorld(package=package) as world:
            d = self.start()
            self.assertEqual(d("click 1005"), "ok")
            self.assertRegex(d("dialog 30000"), r"^dialog .* \| 未解压完全!83886080$")
            self.assertEqual(d("press 1"), "ok")
            self.assertEqual(d("dialog 10000"), "dialog 提示 | " + EXTRACT_FAILED)
            self.assertEqual(d("press 1"), "ok")
            self.assertEqual(self.exit_code(), "exit 1005")
            # what came before the damaged member stays; the archive stays for the next run
            self.assertTrue(os.path.exists(os.path.join(self.folder, "QuorviPhoneAx", "Quorvi.exe")))
            self.assertTrue(os.path.exists(world.temp_package()))
            world.clear_temp_package()

    def test_package_already_in_the_temporary_folder(self):
        damaged = os.path.join(self.work, "damaged.zip")
        damaged_package(damaged)
        # the server answers (the probe must reach it) but serves a damaged package:
        # only the good copy already in the temporary folder can install cleanly
        with InstallerWorld(package=damaged) as world:
            shutil.copy(PACKAGE, world.temp_package())
            d = self.start()
            self.assertEqual(d("click 1005"), "ok")
            self.wait_finish()
            self.assertTrue(os.path.exists(os.path.join(self.folder, "QuorviPhoneAx", "QuorviUnInstall.exe")))
            self.assertFalse(os.path.exists(world.temp_package()))
            self.assertEqual(d("click 1009"), "ok")
            self.assertEqual(self.exit_code(), "exit 1009")


if __name__ == "__main__":
    unittest.main(verbosity=2)
