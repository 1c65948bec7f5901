#!/usr/bin/env python3
"""The main job: Install.exe under Wine against a local package server.

Starts nginx serving the sample package, the agreement page and a stand-in
full installer, and a report collector; then runs Install.exe and works it as
a user would (through the UI driver): options page, panel open, install,
progress page, finish page, try-now. Prints what happened and saves a
screenshot of each page in the folder it names.
"""
import datetime
import os
import shutil
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "app"))
from installer_env import BIN, BUILD, PREFIX, SOURCE, WINDOW_TITLE, Driver, InstallerWorld, wine, windows_path, \
    wine_temp_folder  # noqa: E402
import test_installer_e2e as e2e  # noqa: E402


def say(text=""):
    print(text, flush=True)


def main():
    out = os.path.join(SOURCE, "demo-output", datetime.datetime.now().strftime("%Y%m%d-%H%M%S"))
    os.makedirs(out)
    work = tempfile.mkdtemp(prefix="quorvi-demo-")
    folder = os.path.join(work, "Quorvi安装")
    os.makedirs(folder)
    # a media file makes the download last long enough to watch its progress
    package = os.path.join(work, "QuorviPhoneAx.zip")
    shutil.copy(e2e.PACKAGE, package)
    with zipfile.ZipFile(package, "a", zipfile.ZIP_STORED) as z:
        z.writestr("QuorviPhoneAx/data/demo-media.bin", os.urandom(6 << 20))

    e2e.forget_installation()
    launched = os.path.join(wine_temp_folder() or work, "quorvi-launched.txt")
    if os.path.exists(launched):
        os.remove(launched)
    shots = []

    def shot(d, name):
        bmp = os.path.join(out, name + ".bmp")
        if d("screenshot %s" % windows_path(bmp)) == "ok":
            png = bmp[:-4] + ".png"
            if os.system("convert '%s' '%s' 2>/dev/null" % (bmp, png)) == 0:
                os.remove(bmp)
                shots.append(png)
            else:
                shots.append(bmp)

    with InstallerWorld(package=package, rates={"/consezip/": "600k"}) as world:
        say("package server  http://127.0.0.1:%d/consezip/QuorviPhoneAx.zip (nginx, 600 KB/s per connection)" %
            world.nginx.port)
        say("report server   http://127.0.0.1:%d/fbInfo/saveInfo (collector)" % world.collector.port)
        say("install folder  %s" % windows_path(folder))
        d = Driver()
        try:
            if d("window %s 30000" % WINDOW_TITLE) != "ok":
                raise SystemExit("the installer window did not appear")
            time.sleep(0.5)
            shot(d, "1-options")
            d("click 1007")
            time.sleep(0.5)
            shot(d, "2-options-panel")
            d('type 1214 "%s\\"' % windows_path(folder))
            d("click 1005")
            d("wait-visible 1230 10000")
            for _ in range(50):
                if d("text 1231").rstrip("%").isdigit() and int(d("text 1231").rstrip("%")) >= 20:
                    break
                d("sleep 100")
            shot(d, "3-progress")
            say("progress page   %s %s" % (d("text 1229"), d("text 1231")))
            if d('wait-text 1005 "立即体验" 180000', timeout=200) != "ok":
                raise SystemExit("the finish page did not come")
            time.sleep(0.5)
            shot(d, "4-finish")
            d("click 1005")
            say("exit code       %s" % d("wait-exit 30000", timeout=60).replace("exit ", ""))
        finally:
            d.close()

        say()
        say("installed files:")
        for root, _, files in sorted(os.walk(folder)):
            for name in sorted(files):
                path = os.path.join(root, name)
                say("  %-60s %9d bytes" % (os.path.relpath(path, folder), os.path.getsize(path)))
        say()
        say("registry values:")
        for key in (e2e.UNINSTALL_KEY, e2e.VERSION_KEY):
            for name, value in sorted(e2e.reg_values(key).items()):
                say("  %s\\%s = %s" % (key, name, value))
        run = e2e.reg_values(e2e.RUN_KEY).get("Quorvi手机助手")
        say("  %s\\Quorvi手机助手 = %s" % (e2e.RUN_KEY, run))
        say()
        say("shortcuts:")
        for rel in sorted(e2e.links()):
            say("  C:\\users\\%s" % rel.replace("/", "\\"))
        say()
        world.collector.wait(1, 10)
        say("reports received: %d" % len(world.collector.requests))
        for r in world.collector.requests:
            say("  %s %s  User-Agent: %s" % (r["method"], r["path"], dict(r["headers"]).get("User-Agent")))
            say("  body: %r" % r["body"].decode("latin-1"))
        deadline = time.time() + 15
        while time.time() < deadline and not os.path.exists(launched):
            time.sleep(0.2)
        say()
        say("application launched: %s" % ("yes" if os.path.exists(launched) else "no"))
        e2e.end_launched_app()
    say()
    say("screenshots in %s:" % out)
    for s in shots:
        say("  " + os.path.basename(s))
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
