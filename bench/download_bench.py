"""Runs the download benchmark; see download_bench.sh."""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fixtures"))
from nginx import Nginx  # noqa: E402

MB = 1000 * 1000


def wine_environment(build):
    env = dict(os.environ)
    for pair in subprocess.check_output([os.path.join(build, "wine-run"), "--env"], text=True).split():
        key, value = pair.split("=", 1)
        env[key] = value
    env.update(WINEDEBUG="-all", LANG="zh_CN.UTF-8", LC_ALL="zh_CN.UTF-8",
               WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d")
    return env


def make_file(path, size):
    chunk = os.urandom(4 << 20)
    with open(path, "wb") as f:
        left = size
        while left:
            n = min(left, len(chunk))
            f.write(chunk[:n])
            left -= n
            # a different block each time, so that no offset error goes unseen
            chunk = chunk[1:] + chunk[:1]


def timed(command, env=None, ok=(0, 1)):
    # no pipes: Wine's helper processes would inherit them and hold them open
    started = time.monotonic()
    code = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          env=env).returncode
    elapsed = time.monotonic() - started
    if code not in ok:  # quorvi-fetch's success is 1
        raise RuntimeError("%s failed with %d" % (command[0], code))
    return elapsed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    fetch = os.path.join(build, "bin", "quorvi-fetch.exe")
    if not os.path.exists(fetch):
        sys.exit("no %s: build the tree first" % fetch)
    loader = open(os.path.join(build, "wine-run")).read().split('loader="', 1)[1].split('"', 1)[0]
    env = wine_environment(build)

    work = tempfile.mkdtemp(prefix="quorvi-bench-")
    root = os.path.join(work, "www")
    os.makedirs(os.path.join(root, "shaped"))
    cases = [("a) loopback, 200 MB", "/plain.bin", 200 * MB),
             ("b) 16 MB/s per connection, 120 MB", "/shaped/limited.bin", 120 * MB)]
    print("making the files ...", file=sys.stderr, flush=True)
    for _, path, size in cases:
        make_file(root + path, size)
    subprocess.run([os.path.join(build, "wine-run"), "--start"], check=True)
    server = Nginx(root, rates={"/shaped/": "16m"}).start()
    try:
        out = os.path.join(work, "out")

        def fresh():
            shutil.rmtree(out, ignore_errors=True)
            os.mkdir(out)
            return out

        tools = {
            "quorvi-fetch": lambda url, name: timed([loader, fetch, url, "Z:" + fresh().replace("/", "\\") + "\\"], env),
            "curl": lambda url, name: timed(["curl", "-s", "-o", os.path.join(fresh(), name), url]),
            "aria2c -x4 -s4": lambda url, name: timed(["aria2c", "-x4", "-s4", "-q", "-d", fresh(), "-o", name, url]),
        }
        # warm Wine and the page cache once
        tools["quorvi-fetch"](server.url(cases[0][1]), "plain.bin")
        # the fixed cost of a Wine process: the tool started without arguments
        wine_start = statistics.median(timed([loader, fetch], env, ok=(64,)) for _ in range(args.runs))
        results = {}
        for label, path, size in cases:
            url = server.url(path)
            name = os.path.basename(path)
            times = {tool: [] for tool in tools}
            for _ in range(args.runs):
                for tool, run in tools.items():
                    times[tool].append(run(url, name))
                    print("  %s %s: %.3fs" % (label, tool, times[tool][-1]), file=sys.stderr, flush=True)
                    if tool == "quorvi-fetch" and os.path.getsize(os.path.join(out, name)) != size:
                        raise RuntimeError("quorvi-fetch left a file of the wrong size")
            results[label] = {tool: statistics.median(t) for tool, t in times.items()}
    finally:
        server.stop()
        subprocess.run([os.path.join(build, "wine-run"), "--stop"])
        shutil.rmtree(work, ignore_errors=True)

    print("median wall time of %d runs; quorvi-fetch's include starting and ending a Wine process, which alone"
          " takes %.3fs here" % (args.runs, wine_start))
    print("%-36s %14s %14s %16s %14s %14s" % ("case", "quorvi-fetch", "curl", "aria2c -x4 -s4", "vs curl", "vs aria2c"))
    for label, row in results.items():
        q, c, a = row["quorvi-fetch"], row["curl"], row["aria2c -x4 -s4"]
        print("%-36s %13.3fs %13.3fs %15.3fs %13.2fx %13.2fx" % (label, q, c, a, q / c, q / a))


if __name__ == "__main__":
    main()
