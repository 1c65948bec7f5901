#!/usr/bin/env python3
"""quorvi-uidriver.exe under Wine + Xvfb, driving its own test window
(uidriver_test_window.cpp): every command's answer, real mouse input, message
boxes, screenshots and the full 32-bit exit code that Linux would see mod 256."""
import os
import re
import select
import signal
import struct
import subprocess
import tempfile
import time
import unittest

BUILD = os.environ["QUORVI_BUILD"]
WINE = os.environ["QUORVI_WINE"]
DRIVER = os.path.join(BUILD, "bin", "quorvi-uidriver.exe")
WINDOW = "Z:" + os.path.join(BUILD, "bin", "quorvi-uidriver-testwin.exe")
TITLE = "驱动测试窗口"


def processes():
    """(pid, argument list) of the Linux processes; Wine shows a program's own command line."""
    found = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    args = f.read().decode("utf-8", "replace").split("\0")
            except OSError:
                continue
            if args and args[0]:
                found.append((int(entry), args))
    return found


class Driver:
    """One driver process; ask() sends a command and returns its one answer line."""

    def __init__(self, *program):
        self.proc = subprocess.Popen([WINE, DRIVER, *(program or (WINDOW,))], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.buffer = b""

    def line(self, timeout=30):
        deadline = time.monotonic() + timeout
        while b"\n" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.proc.stdout], [], [], left)[0]:
                raise AssertionError("no answer from the driver in %d s" % timeout)
            chunk = os.read(self.proc.stdout.fileno(), 4096)
            if not chunk:
                raise AssertionError("the driver ended early")
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode("utf-8")

    def ask(self, command):
        self.proc.stdin.write((command + "\n").encode("utf-8"))
        self.proc.stdin.flush()
        return self.line()

    def finish(self):
        """Ends standard input; returns the last line and the driver's exit code."""
        self.proc.stdin.close()
        last = self.line()
        return last, self.proc.wait(timeout=30)

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


class UiDriver(unittest.TestCase):
    def start(self, *args):
        driver = Driver(WINDOW, *args) if args else Driver()
        self.addCleanup(driver.close)
        self.assertEqual(driver.ask("window %s 20000" % TITLE), "ok")
        return driver

    def run_table(self, driver, table):
        for command, expected in table:
            with self.subTest(command=command):
                self.assertEqual(driver.ask(command), expected)

    def test_reading_controls(self):
        d = self.start()
        self.run_table(d, [
            ("height", "300"),
            ("text 200", "第一"),           # the first control with a shared id ...
            ("text 200#1", "第二"),         # ... and the second, by either spelling
            ("text 200 1", "第二"),
            ("visible 200", "1"),
            ("visible 200#1", "0"),
            ("text 200#2", "missing"),
            ("visible 999", "missing"),
            ("checked 107", "0"),
            ("text 104", "旧文本"),
            ("text 102", ""),
        ])
        m = re.fullmatch(r"window (-?\d+) (-?\d+) (\d+) (\d+) client (-?\d+) (-?\d+) (\d+) (\d+)", d.ask("rect"))
        self.assertIsNotNone(m)
        wx, wy, ww, wh, cx, cy, cw, ch = map(int, m.groups())
        self.assertEqual((cw, ch), (400, 300))
        # the client area lies inside the frame, below the caption
        self.assertTrue(wx <= cx and cx + cw <= wx + ww and wy < cy and cy + ch <= wy + wh)

    def test_working_controls(self):
        d = self.start()
        self.run_table(d, [
            ("click 200#1", "hidden"),      # a hidden control cannot be clicked
            ("click 999", "missing"),
            ("click 101", "ok"),            # answered only once the (slow) click was handled
            ("text 102", "clicked 1"),
            ("text 111", "cursor 60 25"),   # real input: the cursor went to the button's centre
            ("dblclick 101", "ok"),
            ("text 102", "clicked 3"),
            ("click 113", "posted"),        # below the window's edge: no real click possible
            ("wait-text 102 outside 5000", "ok"),
            ("wait-hidden 200#1 100", "ok"),
            ("wait-visible 200#1 100", "timeout"),
            ("click 103", "ok"),            # shows the second 200 after 300 ms
            ("wait-visible 200#1 5000", "ok"),
            ("wait-hidden 200#1 100", "timeout"),
            ("type 104 \"新 文本\"", "ok"),
            ("text 104", "新 文本"),
            ("text 106", "chars 4"),        # typed: one WM_CHAR per character
            ("type 104 \"\"", "ok"),        # empty text: the selection is deleted with a backspace
            ("text 104", ""),
            ("text 106", "chars 5"),
            ("settext 104 \"a \"\"quoted\"\" C:\\dir\\\"", "ok"),
            ("text 104", "a \"quoted\" C:\\dir\\"),
            ("text 106", "chars 5"),        # WM_SETTEXT is not typing
            ("click 107", "ok"),
            ("checked 107", "1"),
            ("click 107", "ok"),
            ("checked 107", "0"),
            ("key 27", "ok"),               # Escape reaches the dialog manager as the cancel command
            ("wait-text 102 escape 5000", "ok"),
            ("dblclick 109", "ok"),
            ("wait-text 102 double 5000", "ok"),
            ("wait-text 102 never 200", "timeout"),
        ])

    def test_message_box(self):
        d = self.start()
        self.run_table(d, [
            ("dialog 200", "timeout"),      # the window itself is not a message box
            ("click 108", "ok"),
            ("dialog 5000", "dialog 问题 | 要继续吗?"),
            ("press 2", "ok"),
            ("wait-text 102 \"box 2\" 5000", "ok"),
            ("click 108", "ok"),
            ("dialog 5000", "dialog 问题 | 要继续吗?"),
            ("press 99", "missing"),
            ("press 1", "ok"),
            ("wait-text 102 \"box 1\" 5000", "ok"),
        ])

    def test_screenshot(self):
        d = self.start()
        folder = tempfile.mkdtemp(prefix="quorvi-uidriver-")
        path = os.path.join(folder, "window.bmp")
        self.assertEqual(d.ask("screenshot Z:" + path), "ok")
        rect = list(map(int, d.ask("rect").split()[1:5]))
        with open(path, "rb") as f:
            data = f.read()
        os.remove(path)
        os.rmdir(folder)
        self.assertEqual(data[:2], b"BM")
        width, height, planes, bits = struct.unpack("<iiHH", data[18:30])
        self.assertEqual((width, height, planes, bits), (rect[2], rect[3], 1, 24))
        stride = (width * 3 + 3) & ~3
        self.assertEqual(len(data), 54 + stride * height)
        pixels = {data[i:i + 3] for i in range(54, len(data) - 3, 3 * 7)}
        self.assertGreater(len(pixels), 3)  # frame, face, text: not one flat colour

    def test_full_exit_code(self):
        # 1009 > 255: Linux alone would see 241
        d = self.start()
        self.assertEqual(d.ask("wait-exit 100"), "timeout")
        self.assertEqual(d.ask("click 110"), "ok")
        self.assertEqual(d.ask("wait-exit 10000"), "exit 1009")
        self.assertEqual(d.finish(), ("exit 1009", 0))

    def test_end_of_input_kills_the_child(self):
        d = self.start()
        self.assertEqual(d.finish(), ("exit 9999", 0))

    def test_kill(self):
        d = self.start()
        self.assertEqual(d.ask("kill"), "ok")
        self.assertEqual(d.ask("wait-exit 100"), "exit 9999")
        self.assertEqual(d.ask("window %s 200" % TITLE), "timeout")

    def test_arguments_reach_the_child_unchanged(self):
        args = ["a b", "q\"t", "tail\\", "C:\\x y\\", "普通"]
        d = self.start(*args)
        self.assertEqual(d.ask("text 112"), "|".join(args))

    def test_bad_commands(self):
        d = self.start()
        self.run_table(d, [
            ("bogus 1", "error: unknown command bogus"),
            ("click", "error: expected click ID[#INDEX] [INDEX]"),
            ("click x1", "error: expected click ID[#INDEX] [INDEX]"),
            ("text 200 one", "error: bad index"),
            ("wait-text 102", "error: expected wait-text ID[#INDEX] TEXT [TIMEOUT]"),
            ("wait-visible 102 soon", "error: expected wait-visible ID[#INDEX] [TIMEOUT]"),
            ("key 0", "error: expected key VK (1..254)"),
            ("press 1", "error: no current dialog"),
            ("type 104 \"open", "error: unterminated quote"),
            ("sleep 10", "ok"),            # comments and blank lines get no answer:
        ])
        self.assertEqual(d.ask("# a comment\n\nheight"), "300")

    def test_commands_before_a_window(self):
        d = Driver()
        self.addCleanup(d.close)
        self.assertEqual(d.ask("click 101"), "error: no current window")
        self.assertEqual(d.ask("window 不存在的窗口 300"), "timeout")

    def test_killed_driver_takes_its_child_along(self):
        marker = "driver-test-%d" % os.getpid()
        d = self.start(marker)
        driver = [pid for pid, cmd in processes() if "quorvi-uidriver.exe" in cmd[0] and marker in cmd]
        self.assertEqual(len(driver), 1)
        os.kill(driver[0], signal.SIGKILL)
        gone = False
        for _ in range(100):
            if not any("quorvi-uidriver-testwin.exe" in cmd[0] and marker in cmd for _, cmd in processes()):
                gone = True
                break
            time.sleep(0.1)
        self.assertTrue(gone, "the test window outlived its driver")

    def test_program_that_cannot_start(self):
        run = subprocess.run([WINE, DRIVER, "Z:/nonexistent/program.exe"], input=b"", capture_output=True,
                             timeout=60)
        self.assertEqual(run.returncode, 2)
        self.assertTrue(run.stdout.decode("utf-8").startswith("error: cannot start Z:/nonexistent/program.exe"))


if __name__ == "__main__":
    unittest.main()
