"""quorvi-fetch.exe under Wine against a real nginx on loopback."""

import hashlib
import os
import shutil
import tempfile

from fetch_support import FetchCase, fetch, main
from nginx import Nginx

# one size in each segment class, none a multiple of the segment count
SIZES = {"one.bin": 1048583, "two.bin": 5242881, "three.bin": 52428803, "four.bin": 104857607}


class RealServer(FetchCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="quorvi-www-")
        os.mkdir(os.path.join(cls.root, "slow"))
        cls.data = {}
        for name, size in SIZES.items():
            cls.data[name] = os.urandom(size)
            with open(os.path.join(cls.root, name), "wb") as f:
                f.write(cls.data[name])
        shutil.copy(os.path.join(cls.root, "two.bin"), os.path.join(cls.root, "slow", "two.bin"))
        cls.server = Nginx(cls.root, rates={"/slow/": "2m"}).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.root, ignore_errors=True)

    def test_one_to_four_segments_are_byte_identical(self):
        for name in SIZES:
            with self.subTest(name):
                result = fetch(self.server.url("/" + name), self.folder, "--overwrite")
                self.assertDownloaded(result, name, self.data[name])
                os.remove(self.path(name))

    def test_single_connection_and_digest(self):
        data = self.data["three.bin"]
        digest = hashlib.md5(data).hexdigest()
        result = fetch(self.server.url("/three.bin?md5=" + digest), self.folder, "--no-multi")
        self.assertDownloaded(result, "three.bin", data)

    def test_resume_from_parts(self):
        data = self.data["four.bin"]
        share = len(data) // 4
        for i, length in enumerate([0, 1, share // 2, share + 1]):
            if length:
                self.write("four.bin_%d" % i, data[i * share:i * share + length])
        result = fetch(self.server.url("/four.bin"), self.folder)
        self.assertDownloaded(result, "four.bin", data)

    def test_stop_then_resume_on_a_limited_link(self):
        data = self.data["two.bin"]
        stopped = fetch(self.server.url("/slow/two.bin"), self.folder, "--stop-at", "40")
        self.assertEqual(stopped.code, 5, stopped)
        self.assertEqual(self.files(), ["two.bin_0", "two.bin_1"])
        resumed = fetch(self.server.url("/slow/two.bin"), self.folder)
        self.assertDownloaded(resumed, "two.bin", data)
        self.assertGreaterEqual(resumed.percents[0], 15)  # a resumed part counts from its first report

    def test_missing_file(self):
        result = fetch(self.server.url("/none.bin"), self.folder)
        self.assertEqual(result.code, 2, result)
        self.assertEqual(self.files(), [])


if __name__ == "__main__":
    main()
