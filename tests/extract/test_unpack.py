#!/usr/bin/env python3
"""quorvi-unpack.exe under Wine: the messages the window would get, in order,
the message-box texts, the exit code and what lands on disk."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

BUILD = os.environ["QUORVI_BUILD"]
WINE = os.environ["QUORVI_WINE"]
FIXTURES = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(BUILD, "tests/extract/zips")
TOOL = os.path.join(BUILD, "bin", "quorvi-unpack.exe")


def unpack(archive, folder):
    run = subprocess.run([WINE, TOOL, "Z:" + archive, "Z:" + folder + "/"], capture_output=True, timeout=120)
    return run.returncode, run.stdout.decode("utf-8").splitlines()


def progress(count, upto=None):
    """The progress lines of the first `upto` items (all by default) of `count`."""
    return ["progress %d %d" % (i, count) for i in range(count if upto is None else upto)]


class UnpackTool(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="quorvi-unpack-")
        self.out = os.path.join(self.dir, "install")

    def tearDown(self):
        for root, dirs, files in os.walk(self.dir):
            for name in dirs + files:
                os.chmod(os.path.join(root, name), 0o755)
        shutil.rmtree(self.dir, ignore_errors=True)

    def fixture(self, name):
        return os.path.join(FIXTURES, name)

    def test_outcomes(self):
        # (archive, expected lines, exit code)
        cases = [
            ("three.zip", progress(3) + ["done"], 0),
            ("empty.zip", ["done"], 0),
            ("zero-length.zip", progress(3) + ["done"], 0),
            ("damaged-middle.zip", progress(3, 2) + ["message 未解压完全!83886080", "failed 5"], 5),
            ("damaged-last.zip", progress(3) + ["done"], 0),  # a failure on the last item is silent
            ("bad-crc.zip", progress(2, 1) + ["message 未解压完全!83886080", "failed 5"], 5),
            ("encrypted.zip", progress(4, 2) + ["message 未解压完全!4096", "failed 5"], 5),
            ("names.zip", progress(7, 5) + ["message 未解压完全!8192", "failed 4"], 4),
            ("long-name.zip", progress(3, 2) + ["message 未解压完全!12288", "failed 4"], 4),
            ("truncated.zip", ["message 打开压缩包解压路径出错!", "failed 1"], 1),
            ("not-a-zip.zip", ["message 打开压缩包解压路径出错!", "failed 1"], 1),
            ("missing.zip", ["message 打开压缩包解压路径出错!", "failed 1"], 1),
        ]
        for archive, lines, code in cases:
            with self.subTest(archive=archive):
                out = os.path.join(self.dir, archive)
                rc, got = unpack(self.fixture(archive), out)
                self.assertEqual(got, lines)
                self.assertEqual(rc, code)

    def test_package_lands_with_its_folders(self):
        rc, lines = unpack(self.fixture("package.zip"), self.out)
        self.assertEqual((rc, lines), (0, progress(6) + ["done"]))
        top = os.path.join(self.out, "QuorviPhoneAx")
        found = sorted(os.path.relpath(os.path.join(r, f), top) for r, _, fs in os.walk(top) for f in fs)
        self.assertEqual(found, sorted(["Quorvi.exe", "QuorviUnInstall.exe", "data/skins/蓝色.dat", "data/empty.txt",
                                        "data/empty-deflated.txt", "lib/deep/er/file.bin"]))
        self.assertEqual(os.path.getsize(os.path.join(top, "data/empty.txt")), 0)
        with open(os.path.join(top, "lib/deep/er/file.bin"), "rb") as f:
            self.assertEqual(f.read(), bytes(range(256)) * 200)

    def test_target_that_cannot_be_created(self):
        # a folder in the way stands for a read-only file: Wine running as root
        # writes over read-only files
        os.makedirs(os.path.join(self.out, "locked.txt"))
        rc, lines = unpack(self.fixture("readonly-target.zip"), self.out)
        self.assertEqual(lines, progress(3, 1) + ["message 未解压完全!512", "failed 5"])
        self.assertEqual(rc, 5)
        os.rmdir(os.path.join(self.out, "locked.txt"))
        os.makedirs(os.path.join(self.out, "locked2.txt"))
        rc, lines = unpack(self.fixture("readonly-target.zip"), self.out)
        self.assertEqual((rc, lines), (0, progress(3) + ["done"]))  # last item: silent
        self.assertTrue(os.path.isdir(os.path.join(self.out, "locked2.txt")))

    def test_nothing_escapes_the_install_folder(self):
        rc, _ = unpack(self.fixture("names.zip"), self.out)
        self.assertEqual(rc, 4)
        self.assertEqual(sorted(os.listdir(self.dir)), ["install"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
