"""Shared helpers of the download tests that drive quorvi-fetch.exe under Wine."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.environ.get("QUORVI_SOURCE", os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ["QUORVI_BUILD"]
WINE = os.environ["QUORVI_WINE"]
sys.path.insert(0, os.path.join(SOURCE, "tests", "fixtures"))

FETCH = os.path.join(BUILD, "bin", "quorvi-fetch.exe")


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


class Result:
    def __init__(self, code, lines):
        self.code = code
        self.lines = lines

    def of(self, word):
        return [line.split(" ", 1)[1] if " " in line else "" for line in self.lines if line.split(" ", 1)[0] == word]

    @property
    def percents(self):
        return [int(p.split()[0]) for p in self.of("progress")]

    def __repr__(self):
        tail = self.lines[-8:]
        return "Result(code=%d, lines=%d, tail=%r)" % (self.code, len(self.lines), tail)


def fetch(url, folder, *options, timeout=180):
    """Runs the tool; folder is a Linux folder, handed over with its trailing backslash."""
    return fetch_to(url, windows_path(folder.rstrip("/")) + "\\", *options, timeout=timeout)


def fetch_to(url, target, *options, timeout=180):
    """Runs the tool with the folder argument exactly as given."""
    proc = subprocess.run([WINE, FETCH, url, target, *options], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout)
    lines = proc.stdout.decode("utf-8", "replace").splitlines()
    result = Result(proc.returncode, lines)
    if not lines or not lines[-1].startswith("result "):
        raise AssertionError("no result line: %r stderr=%r" % (result, proc.stderr[-2000:]))
    if int(lines[-1].split()[1]) != proc.returncode:
        raise AssertionError("exit code differs from the result line: %r" % result)
    return result


class FetchCase(unittest.TestCase):
    """A test with a fresh download folder in self.folder."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="quorvi-fetch-")
        self.addCleanup(shutil.rmtree, self.folder, True)

    def path(self, name):
        return os.path.join(self.folder, name)

    def files(self):
        return sorted(os.listdir(self.folder))

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def assertDownloaded(self, result, name, data):
        self.assertEqual(result.code, 1, result)
        self.assertEqual(self.files(), [name], "parts left beside the target")
        self.assertTrue(self.read(name) == data, "downloaded bytes differ")


def main():
    unittest.main(verbosity=2)
