#!/usr/bin/env python3
"""Times a Check against fsck.fat -n on one large fragmented FAT32 image.

Builds the image once (mkfragimg preset big32, about 3 minutes) into
build/bench/, then runs each command several times with a warm page cache and
prints the median wall time, the ratio, and each command's peak memory.
Usage: bench/check_speed.py [--runs N] [--preset NAME] [--image PATH]
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run_once(argv):
    """Wall time in seconds and peak resident memory in MiB of one run."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    code = os.waitstatus_to_exitcode(status)
    return elapsed, usage.ru_maxrss / 1024.0, code


def measure(name, argv, runs):
    run_once(argv)  # warm the page cache
    times, peaks = [], []
    for _ in range(runs):
        elapsed, peak, code = run_once(argv)
        if code not in (0, 1):
            sys.exit(f"{name} failed with exit status {code}: {' '.join(argv)}")
        times.append(elapsed)
        peaks.append(peak)
    median = statistics.median(times)
    print(f"{name:10s} median {median:7.3f} s  (min {min(times):.3f}, max {max(times):.3f})"
          f"  peak memory {max(peaks):7.1f} MiB")
    return median, max(peaks)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--preset", default="big32")
    parser.add_argument("--image")
    args = parser.parse_args()

    cli = os.path.join(ROOT, "build", "quillo-cli")
    if not os.access(cli, os.X_OK):
        sys.exit("build first: scripts/build.sh")
    image = args.image or os.path.join(ROOT, "build", "bench", f"{args.preset}.img")
    if not os.path.exists(image):
        os.makedirs(os.path.dirname(image), exist_ok=True)
        print(f"building {image} (preset {args.preset}) ...", flush=True)
        subprocess.run([sys.executable, os.path.join(ROOT, "tests", "tools", "mkfragimg"), image,
                        "--preset", args.preset], check=True)

    info = subprocess.run([os.path.join(ROOT, "tests", "tools", "fatcheck"), image, "--json"],
                          capture_output=True, text=True).stdout
    print(f"image {image}: {os.path.getsize(image) / 2**20:.0f} MiB")
    clusters = 0
    for line in info.splitlines():
        if '"total_clusters"' in line:
            clusters = int(line.split(":")[1].strip().rstrip(","))
    env_config = os.path.join(os.path.dirname(image), "config")
    os.environ["XDG_CONFIG_HOME"] = env_config

    fsck, _ = measure("fsck.fat", ["fsck.fat", "-n", image], args.runs)
    check, peak = measure("check", [cli, "--disk", image, "check", "C"], args.runs)
    budget = 64 + 5 * clusters / 2**20
    print(f"ratio check / fsck.fat: {check / fsck:.2f} (target <= 1.0)")
    print(f"peak memory {peak:.1f} MiB against a budget of {budget:.1f} MiB "
          f"(64 MiB + 5 bytes x {clusters} clusters)")


if __name__ == "__main__":
    main()
