"""quorvi-fetch.exe under Wine against the scripted fault server.

Run one class with: fetch_fault_test.py ClassName (ctest runs each class as
its own test so that they share the two cores)."""

import hashlib
import os
import time

from fetch_support import FetchCase, fetch, fetch_to, main, windows_path
from http_fault_server import FaultServer, Reply, file_reply

MIB = 1 << 20
# one random buffer; every file of a test is a prefix of it
BLOB = os.urandom(104857601)
SIX = BLOB[:6 * MIB]          # two segments of 3 MiB
SMALL = BLOB[:100000]         # one segment

BROWSER_LINE = (b"User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36\t\t\t\t  (KHTML, like Gecko)"
                b"Chrome/32.0.1700.107 Safari/537.36\r\n")


def serve(data, **options):
    return lambda req: file_reply(data, req, **options)


def segments_of(server):
    return sorted(r.range for r in server.of_kind("segment"))


class RequestBytes(FetchCase):
    def test_every_request_goes_out_byte_for_byte(self):
        with FaultServer(serve(SIX)) as server:
            result = fetch(server.url("/dl/a b.zip"), self.folder)
            host = b"127.0.0.1"
            check = server.of_kind("check")[0].raw
            self.assertEqual(check, b"GET /dl/a b.zip HTTP/1.1\r\nHost: " + host + b"\r\nAccept: */*\r\n" +
                             BROWSER_LINE + b"\r\n")
            probe = server.of_kind("probe")[0].raw
            self.assertEqual(probe, b"GET /dl/a b.zip HTTP/1.1\r\nHost: " + host +
                             b"\r\nAccept: */*\r\nUser-Agent: Mozilla\r\nRange: bytes=0-1\r\n\r\n")
            first = min(server.of_kind("segment"), key=lambda r: r.range).raw
            self.assertEqual(first, b"GET /dl/a b.zip HTTP/1.1\r\nHost: " + host +
                             b"\r\nAccept: */*\r\nUser-Agent: Mozilla\r\nRange: bytes=0-3145728\r\n\r\n")
            self.assertEqual([r.kind for r in server.requests[:2]], ["check", "probe"])
        self.assertDownloaded(result, "a b.zip", SIX)
        self.assertEqual(result.lines[0], "start " + windows_path(self.folder) + "\\a b.zip")

    def test_whole_file_and_size_requests_carry_no_range(self):
        with FaultServer(serve(SMALL, ranges=False, name_size=True)) as server:
            result = fetch(server.url("/s.bin"), self.folder)
            plain = server.of_kind("plain")
            self.assertEqual(len(plain), 1)
            self.assertEqual(plain[0].raw, b"GET /s.bin HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\n"
                                           b"User-Agent: Mozilla\r\n\r\n")
        self.assertDownloaded(result, "s.bin", SMALL)

    def test_server_address_is_reported_only_with_a_tag(self):
        with FaultServer(serve(SIX)) as server:
            tagged = fetch(server.url("/a.zip"), self.folder, "--tag", "7")
            untagged = fetch(server.url("/a.zip"), self.folder, "--overwrite")
        self.assertEqual(tagged.of("server"), ["127.0.0.1", "127.0.0.1"])
        self.assertEqual(untagged.of("server"), [])
        self.assertEqual(untagged.code, 1)
        self.assertEqual(untagged.percents[-1], 100)


class SegmentPlan(FetchCase):
    def check_plan(self, size, ranges, options=(), expected_parts=None):
        data = BLOB[:size]
        with FaultServer(serve(data)) as server:
            result = fetch(server.url("/f.bin"), self.folder, *options)
            self.assertEqual(segments_of(server), ranges)
        self.assertDownloaded(result, "f.bin", data)

    def test_size_thresholds_choose_one_to_four_segments(self):
        for size, ranges in [
                (5242880, [(0, 5242880)]),
                (5242881, [(0, 2621440), (2621440, 5242881)]),
                (52428801, [(0, 17476267), (17476267, 34952534), (34952534, 52428801)]),
                (104857601, [(0, 26214400), (26214400, 52428800), (52428800, 78643200), (78643200, 104857601)])]:
            with self.subTest(size=size):
                self.check_plan(size, ranges)
                os.remove(self.path("f.bin"))

    def test_no_multi_uses_one_ranged_segment(self):
        self.check_plan(104857601, [(0, 104857601)], ["--no-multi"])

    def test_server_ignoring_ranges_gets_one_whole_request(self):
        with FaultServer(serve(SIX, ranges=False)) as server:
            result = fetch(server.url("/f.bin"), self.folder)
            self.assertEqual(segments_of(server), [])
            self.assertEqual(len(server.of_kind("plain")), 1)
        self.assertDownloaded(result, "f.bin", SIX)


class Resume(FetchCase):
    def test_parts_resume_where_they_end(self):
        self.write("f.bin_0", SIX[:3000000])
        self.write("f.bin_1", SIX[3 * MIB:3 * MIB + 5000])
        with FaultServer(serve(SIX)) as server:
            result = fetch(server.url("/f.bin"), self.folder)
            self.assertEqual(segments_of(server), [(3000000, 3 * MIB), (3 * MIB + 5000, 6 * MIB)])
        self.assertDownloaded(result, "f.bin", SIX)

    def test_single_ranged_segment_resumes_and_counts_at_once(self):
        self.write("f.bin_0", SIX[:3000000])
        with FaultServer(serve(SIX)) as server:
            result = fetch(server.url("/f.bin"), self.folder, "--no-multi")
            self.assertEqual(segments_of(server), [(3000000, 6 * MIB)])
        self.assertDownloaded(result, "f.bin", SIX)
        self.assertGreaterEqual(result.percents[0], 47)  # the bytes on disk count from the first report

    def test_complete_part_sends_no_request(self):
        self.write("f.bin_1", SIX[3 * MIB:] + b"\xAA")  # a part may hold one byte more than its segment
        with FaultServer(serve(SIX)) as server:
            result = fetch(server.url("/f.bin"), self.folder)
            self.assertEqual(segments_of(server), [(0, 3 * MIB)])
        self.assertDownloaded(result, "f.bin", SIX)

    def test_all_parts_complete_joins_without_transfer(self):
        self.write("f.bin_0", SIX[:3 * MIB])
        self.write("f.bin_1", SIX[3 * MIB:])
        with FaultServer(serve(SIX)) as server:
            result = fetch(server.url("/f.bin"), self.folder)
            self.assertEqual(segments_of(server), [])
        self.assertDownloaded(result, "f.bin", SIX)

    def test_part_without_ranges_is_begun_again(self):
        self.write("f.bin_tmp", b"stale bytes of another file" * 1000)
        with FaultServer(serve(SMALL, ranges=False)) as server:
            result = fetch(server.url("/f.bin"), self.folder)
        self.assertDownloaded(result, "f.bin", SMALL)

    def test_stop_keeps_parts_and_a_later_run_resumes(self):
        slow = serve(SIX, drip=(32768, 0.01))
        with FaultServer(slow) as server:
            stopped = fetch(server.url("/f.bin"), self.folder, "--stop-at", "30")
        self.assertEqual(stopped.code, 5, stopped)
        self.assertEqual(self.files(), ["f.bin_0", "f.bin_1"])
        # each worker stops at its next pass: at most one more block each
        percents = stopped.percents
        first = next(i for i, p in enumerate(percents) if p >= 30)
        self.assertLessEqual(len(percents) - first - 1, 2, stopped)
        lengths = [os.path.getsize(self.path(n)) for n in ("f.bin_0", "f.bin_1")]
        self.assertEqual(self.read("f.bin_0"), SIX[:lengths[0]])
        self.assertEqual(self.read("f.bin_1"), SIX[3 * MIB:3 * MIB + lengths[1]])
        with FaultServer(serve(SIX)) as server:
            resumed = fetch(server.url("/f.bin"), self.folder)
            self.assertEqual(segments_of(server), [(lengths[0], 3 * MIB), (3 * MIB + lengths[1], 6 * MIB)])
        self.assertDownloaded(resumed, "f.bin", SIX)

    def test_stop_and_delete_removes_the_running_parts(self):
        with FaultServer(serve(SIX, drip=(32768, 0.01))) as server:
            result = fetch(server.url("/f.bin"), self.folder, "--stop-at", "20:delete")
        self.assertEqual(result.code, 5, result)
        self.assertEqual(self.files(), [])

    def test_stop_and_delete_keeps_a_completed_part(self):
        self.write("f.bin_1", SIX[3 * MIB:])
        with FaultServer(serve(SIX, drip=(32768, 0.01))) as server:
            result = fetch(server.url("/f.bin"), self.folder, "--stop-at", "60:delete")
        self.assertEqual(result.code, 5, result)
        self.assertEqual(self.files(), ["f.bin_1"])


class Failures(FetchCase):
    def run_with(self, handler, name="f.bin", *options):
        with FaultServer(handler) as server:
            result = fetch(server.url("/" + name), self.folder, *options)
        return result, server

    def assertNothingWritten(self):
        for name in self.files():
            self.assertEqual(os.path.getsize(self.path(name)), 0, name)
        self.assertNotIn("f.bin", self.files())

    def test_unexpected_transfer_answers_write_nothing_and_fail_with_17(self):
        answers = {
            "server error": lambda req: Reply(500),
            "not satisfiable": lambda req: Reply(416, [("Content-Range", "bytes */%d" % len(SMALL))]),
            "whole file to a range": lambda req: file_reply(SMALL, req, ranges=False),
            "wrong start": lambda req: file_reply(SMALL, req, start_shift=1),
            "other total": lambda req: file_reply(SMALL, req, total=len(SMALL) + 1),
        }
        for name, answer in answers.items():
            with self.subTest(name):
                def handler(req, answer=answer):
                    return answer(req) if req.kind == "segment" else file_reply(SMALL, req)
                result, server = self.run_with(handler)
                self.assertEqual(result.code, 17, result)
                self.assertEqual(len(server.of_kind("segment")), 7)  # every attempt used
                self.assertEqual(result.percents, [])
                self.assertNothingWritten()

    def test_whole_file_request_answered_otherwise_is_not_retried(self):
        def handler(req):
            return Reply(503) if req.kind == "plain" else file_reply(SMALL, req, ranges=False)
        result, server = self.run_with(handler)
        self.assertEqual(result.code, 17, result)
        self.assertEqual(len(server.of_kind("plain")), 1)
        self.assertNothingWritten()

    def test_seven_attempts_without_a_header(self):
        def handler(req):
            return Reply(close_before_header=True) if req.kind == "segment" else file_reply(SIX, req)
        result, server = self.run_with(handler)
        self.assertEqual(result.code, 14, result)
        self.assertEqual(len(server.of_kind("segment")), 14)  # two segments, seven attempts each
        self.assertEqual(self.files(), ["f.bin_0", "f.bin_1"])

    def test_seven_refused_connections(self):
        def handler(req):
            if req.kind == "probe":
                server.refuse()
            return file_reply(SMALL, req)
        with FaultServer(handler) as server:
            result = fetch(server.url("/f.bin"), self.folder, "--tag", "1")
        self.assertEqual(result.code, 18, result)
        self.assertEqual(result.of("server"), ["127.0.0.1"] * 7)
        self.assertEqual(self.files(), [])

    def test_refused_and_missing(self):
        for status in (404, 403):
            with self.subTest(status=status):
                result, _ = self.run_with(lambda req: Reply(status))
                self.assertEqual(result.code, 2, result)
                self.assertEqual(self.files(), [])
        # a segment refused later is retried like any failed request
        result, server = self.run_with(lambda req: Reply(404) if req.kind == "segment" else file_reply(SMALL, req))
        self.assertEqual(result.code, 2)
        self.assertEqual(len(server.of_kind("segment")), 7)

    def test_no_header(self):
        cases = {
            "closed at once": Reply(close_before_header=True),
            "reset at once": Reply(close_before_header=True, reset=True),
            # a block that fills the header buffer without its blank line
            "overlong header": Reply(raw=b"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nX: " + b"a" * 10300),
        }
        for name, reply in cases.items():
            with self.subTest(name):
                result, server = self.run_with(lambda req, reply=reply: reply)
                ended = time.monotonic()
                self.assertEqual(result.code, 14, result)
                # each answer fails at once, not after the 10 s receive time-out:
                # the check's by the time the probe comes, the probe's by the
                # time the tool has ended (Wine's start-up is left out)
                check, probe = server.requests
                self.assertLess(probe.arrived - check.arrived, 8)
                self.assertLess(ended - probe.arrived, 8)
                self.assertEqual(self.files(), [])

    def test_overlong_segment_header_takes_no_body(self):
        junk = b"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-99999/100000\r\nX: " + b"a" * 10300

        def handler(req):
            return Reply(raw=junk) if req.kind == "segment" else file_reply(SMALL, req)
        result, _ = self.run_with(handler)
        self.assertEqual(result.code, 14, result)
        self.assertNothingWritten()

    def test_sizes_that_are_not_sizes(self):
        cases = {
            "none named": lambda req: file_reply(SMALL, req, name_size=False),
            "two GiB": lambda req: file_reply(SMALL, req, total=2147483648),
            "overflow": lambda req: file_reply(SMALL, req, total=18446744073709551617),
            "negative": lambda req: Reply(200, [("Content-Length", "-5")], b"x"),
        }
        for name, handler in cases.items():
            with self.subTest(name):
                result, server = self.run_with(handler)
                self.assertEqual(result.code, 18, result)
                self.assertEqual([r.kind for r in server.requests], ["check", "probe", "plain"])
                self.assertEqual(self.files(), [])

    def test_unknown_total_falls_back_to_the_size_request(self):
        def handler(req):
            return file_reply(SMALL, req, total="*") if req.kind == "probe" else file_reply(SMALL, req)
        result, server = self.run_with(handler)
        # the size request names the size, but ranges stay off
        self.assertEqual([r.kind for r in server.requests], ["check", "probe", "plain", "plain"])
        self.assertDownloaded(result, "f.bin", SMALL)

    def test_lost_connection_resumes_from_the_part(self):
        cuts = []

        def handler(req):
            if req.kind == "segment" and len(cuts) < 2:
                cuts.append(req.range)
                return file_reply(SIX, req, cut_after=1000000)
            return file_reply(SIX, req)
        result, server = self.run_with(handler)
        self.assertDownloaded(result, "f.bin", SIX)
        starts = sorted(r.range[0] for r in server.of_kind("segment"))
        self.assertEqual(starts, [0, 1000000, 3 * MIB, 3 * MIB + 1000000])

    def test_lost_connection_without_ranges_is_not_retried(self):
        result, server = self.run_with(serve(SMALL, ranges=False, cut_after=5000))
        self.assertEqual(result.code, 16, result)
        self.assertEqual(len(server.of_kind("plain")), 1)
        self.assertEqual(self.files(), ["f.bin_tmp"])
        self.assertEqual(self.read("f.bin_tmp"), SMALL[:5000])

    def test_stalled_connection_times_out_and_is_retried(self):
        stalled = []

        def handler(req):
            if req.kind == "segment" and not stalled:
                stalled.append(req)
                return file_reply(SMALL, req, stall=60)
            return file_reply(SMALL, req)
        started = time.monotonic()
        result, server = self.run_with(handler)
        self.assertDownloaded(result, "f.bin", SMALL)
        self.assertEqual(len(server.of_kind("segment")), 2)
        self.assertGreater(time.monotonic() - started, 9.5)

    def test_slow_drip_arrives_whole(self):
        result, _ = self.run_with(serve(SMALL, drip=(997, 0.002)))
        self.assertDownloaded(result, "f.bin", SMALL)

    def test_one_of_four_connections_reset(self):
        data = BLOB[:104857601]
        resets = []

        def handler(req):
            if req.kind == "segment" and req.range[0] == 52428800 and not resets:
                resets.append(req)
                return file_reply(data, req, cut_after=3000000, reset=True)
            return file_reply(data, req)
        result, server = self.run_with(handler)
        self.assertDownloaded(result, "f.bin", data)
        # the retry starts where the part ended (a reset may drop bytes still in flight)
        retries = [r for r in segments_of(server) if r[1] == 78643200 and r[0] > 52428800]
        self.assertEqual(len(retries), 1, segments_of(server))
        self.assertLessEqual(retries[0][0], 52428800 + 3000000)


class Redirects(FetchCase):
    def chain(self, hops, final_handler=None, header="Location"):
        def handler(req):
            path = req.target
            if path.startswith("/r"):
                n = int(path[2:path.index("/", 1)])
                nxt = "/r%d/f.bin" % (n + 1) if n + 1 < hops else "/f.bin"
                return Reply(302 if n % 2 else 301, [(header, server.url(nxt))])
            return (final_handler or serve(SMALL))(req)
        server = FaultServer(handler)
        return server

    def test_chain_of_four_ends_at_the_fifth_url(self):
        with self.chain(4) as server:
            result = fetch(server.url("/r0/f.bin"), self.folder)
            self.assertEqual([r.target for r in server.of_kind("check")],
                             ["/r0/f.bin", "/r1/f.bin", "/r2/f.bin", "/r3/f.bin", "/f.bin"])
            self.assertEqual(server.of_kind("probe")[0].target, "/f.bin")
        self.assertDownloaded(result, "f.bin", SMALL)

    def test_chain_of_five_is_unusable(self):
        with self.chain(5) as server:
            result = fetch(server.url("/r0/f.bin"), self.folder)
            self.assertEqual(len(server.of_kind("check")), 5)
            self.assertEqual(len(server.requests), 5)
        self.assertEqual(result.code, 4, result)
        self.assertEqual(self.files(), [])

    def test_lower_case_location_is_followed(self):
        with self.chain(1, header="location") as server:
            result = fetch(server.url("/r0/f.bin"), self.folder)
        self.assertDownloaded(result, "f.bin", SMALL)

    def test_targets_that_cannot_be_fetched(self):
        # target: (result, redirect checks that reached the server)
        cases = {"/new/x.zip": (4, 1), "https://127.0.0.1/x.zip": (18, 1),
                 "http://127.0.0.1:%d/..\\..\\evil.exe": (4, 2), "http://127.0.0.1:%d/": (4, 2)}
        for target, (code, checks) in cases.items():
            with self.subTest(target):
                def handler(req, target=target):
                    if req.target == "/start.zip":
                        return Reply(301, [("Location", target.replace("%d", str(server.port)))])
                    return file_reply(SMALL, req)
                with FaultServer(handler) as server:
                    result = fetch(server.url("/start.zip"), self.folder)
                    self.assertEqual(len(server.of_kind("check")), checks)
                self.assertEqual(result.code, code, result)
                self.assertEqual(self.files(), [])

    def test_redirect_without_location(self):
        # capitals only are not found: the check ends with 19, and so does the
        # request when the probe learns no size either
        with FaultServer(lambda req: Reply(301, [("LOCATION", "http://127.0.0.1/x")])) as server:
            result = fetch(server.url("/f.bin"), self.folder)
        self.assertEqual(result.code, 19, result)


class Entry(FetchCase):
    def test_digest_in_lower_case_matches(self):
        digest = hashlib.md5(SMALL).hexdigest().lower()
        with FaultServer(serve(SMALL)) as server:
            result = fetch(server.url("/dl/get.zip?id=3&md5=" + digest), self.folder)
            self.assertEqual(server.of_kind("segment")[0].target, "/dl/get.zip?id=3&md5=" + digest)
        self.assertDownloaded(result, "get.zip", SMALL)

    def test_digest_mismatch_deletes_the_file(self):
        with FaultServer(serve(SIX)) as server:
            result = fetch(server.url("/get.zip?md5=" + "0" * 32), self.folder)
        self.assertEqual(result.code, 6, result)
        self.assertEqual(self.files(), [])

    def test_existing_target(self):
        self.write("f.bin", b"old")
        with FaultServer(serve(SMALL)) as server:
            kept = fetch(server.url("/f.bin"), self.folder)
            self.assertEqual(kept.code, 7, kept)
            self.assertEqual(segments_of(server), [])
            self.assertEqual(self.read("f.bin"), b"old")
            replaced = fetch(server.url("/f.bin"), self.folder, "--overwrite")
        self.assertDownloaded(replaced, "f.bin", SMALL)

    def test_existing_target_without_a_server_gives_the_probe_failure(self):
        self.write("f.bin", b"old")
        with FaultServer(serve(SMALL)) as server:
            server.refuse()
            result = fetch(server.url("/f.bin"), self.folder)
        self.assertEqual(result.code, 18, result)
        self.assertEqual(self.read("f.bin"), b"old")

    def test_append_extension_and_folder_creation(self):
        # the folder argument names the target without its extension, in folders still to be made
        target = windows_path(self.folder) + "\\new\\deeper\\pkg"
        with FaultServer(serve(SMALL)) as server:
            result = fetch_to(server.url("/a.b.zip"), target, "--append-ext")
            plain = fetch_to(server.url("/a.b.zip"), target + "-", "--no-multi")
        self.assertEqual(result.code, 1, result)
        self.assertEqual(result.of("start"), [target + ".zip"])
        self.assertEqual(self.read("new/deeper/pkg.zip"), SMALL)
        self.assertEqual(plain.code, 1, plain)
        self.assertEqual(self.read("new/deeper/pkg-a.b.zip"), SMALL)

    def test_unusable_urls(self):
        with FaultServer(serve(SMALL)) as server:
            port = server.port
            cases = {"http://127.0.0.1:%d" % port: 4, "http://127.0.0.1:%d/" % port: 4,
                     "http://127.0.0.1:abc/x.zip": 18, "http://127.0.0.1:65536/x.zip": 18}
            for url, code in cases.items():
                with self.subTest(url):
                    result = fetch(url, self.folder)
                    self.assertEqual(result.code, code, result)
        self.assertEqual(self.files(), [])


if __name__ == "__main__":
    main()
