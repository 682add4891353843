#!/usr/bin/env python3
"""Times the cleaner's two long lists through the console front end.

- The duplicate scan ("list Duplicates") of the 2 GiB FAT32 image of
  mkfragimg's big32 preset (about 51,000 entries), against a Check of the
  same image: the scan reads every folder too, and should stay within three
  Checks.
- The temporary-folder listing ("list Temps") of a folder of 50,000 files in
  200 folders.

Builds the image once (about 3 minutes) into build/bench/; medians of
several runs with a warm page cache.
Usage: bench/cleaner_speed.py [--runs N] [--files N]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def median_time(argv, runs, env=None):
    subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)  # warm up
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        done = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
        times.append(time.perf_counter() - start)
        if done.returncode != 0:
            sys.exit(f"failed ({done.returncode}): {' '.join(argv)}")
    return statistics.median(times), done.stdout.decode(errors="replace")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--files", type=int, default=50000)
    args = parser.parse_args()

    cli = os.path.join(ROOT, "build", "quillo-cli")
    if not os.access(cli, os.X_OK):
        sys.exit("build first: scripts/build.sh")
    image = os.path.join(ROOT, "build", "bench", "big32.img")
    if not os.path.exists(image):
        os.makedirs(os.path.dirname(image), exist_ok=True)
        print(f"building {image} ...", flush=True)
        subprocess.run([sys.executable, os.path.join(ROOT, "tests", "tools", "mkfragimg"), image,
                        "--preset", "big32"], check=True)
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(os.path.dirname(image), "config"))

    check, _ = median_time([cli, "--disk", image, "check", "C"], args.runs, env)
    scan, rows = median_time([cli, "--disk", image, "list", "Duplicates"], args.runs, env)
    print(f"check of big32        {check:7.3f} s")
    print(f"duplicate scan        {scan:7.3f} s  ({len(rows.splitlines())} rows)"
          f"  ratio {scan / check:.2f} (target <= 3)")

    folder = tempfile.mkdtemp(prefix="quillo-temps-")
    try:
        for i in range(args.files):
            sub = os.path.join(folder, f"d{i % 200:03d}")
            os.makedirs(sub, exist_ok=True)
            open(os.path.join(sub, f"f{i}.tmp"), "w").close()
        temps, rows = median_time([cli, "list", "Temps"], args.runs, dict(env, TMPDIR=folder))
        print(f"temp listing          {temps:7.3f} s  ({args.files} files, {len(rows.splitlines())} rows shown,"
              f" the list holds at most 32736)")
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
