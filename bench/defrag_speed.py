#!/usr/bin/env python3
"""Times a Defragment of a churned FAT32 volume against what a Linux user can do
without us: copy everything out with mtools, reformat, copy it back.

Builds two images once into build/bench/ (mkfragimg: 320 MiB, 1,800 files in
120 folders; and 1,280 MiB with four times the files and folders), then, from a
pristine copy each time (copy and sync not timed), takes the median of --runs
runs of: `quillo-cli defrag C` (flushes between the ordered steps of each move),
the same run with those flushes off (bench/defrag_noflush.cpp, built here), and
copy-out/mkfs.fat/copy-in ending with an fdatasync of the image. Every result
is checked with fsck.fat -n and fatinspect --contents-digest. The image stays
in the page cache for every method; dd measures the disk for the same bytes.
Usage: bench/defrag_speed.py [--runs N] [--build DIR]  (DIR: a build tree, default build/)
"""
import argparse
import json
import math
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build")
OUT = os.path.join(BUILD, "bench")  # images stay here whichever build is timed
CLI = os.path.join(BUILD, "quillo-cli")
NOFLUSH = os.path.join(OUT, "defrag_noflush")
TOOLS = os.path.join(ROOT, "tests", "tools")
# (name, MiB, files, folders, fill %, seed); churn, fill and seed chosen for
# ~450 fragmented files and a few hundred free gaps on the small one. The third
# holds large fragmented files only (80 files of about 3 MiB): the volume the
# data-copy throughput is judged on.
IMAGES = [("defrag320", 320, 1800, 120, 91, 5), ("defrag1280", 1280, 7200, 480, 91, 5)]
LARGE_FILES_IMAGE = ("defrag320large", 320, 80, 4, 85, 3)
MKFRAG = ["--fat", "32", "--cluster-sectors", "8", "--churn", "4"]
# what libquillo_engine.a itself links against (CMakeLists.txt)
ENGINE_LIBS = subprocess.run(["pkg-config", "--libs", "libsystemd", "sqlite3"],
                             capture_output=True, text=True, check=True).stdout.split()
MTOOLS_ENV = dict(os.environ, MTOOLSRC=os.devnull, MTOOLS_SKIP_CHECK="1", LC_ALL="C.UTF-8")


def run_once(argv, stdout=subprocess.DEVNULL):
    """Wall time in seconds, peak resident memory in MiB and exit status of one run."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, stdout=stdout, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    return time.perf_counter() - start, usage.ru_maxrss / 1024.0, os.waitstatus_to_exitcode(status)


def inspect(image, *extra):
    return subprocess.run([sys.executable, os.path.join(TOOLS, "fatcheck"), image, *extra],
                          capture_output=True, text=True).stdout.strip()


def fresh_copy(pristine, work):
    """A durable copy of the pristine image, so no timed flush writes the copy back."""
    shutil.copyfile(pristine, work)
    fd = os.open(work, os.O_RDONLY)
    os.fdatasync(fd)
    os.close(fd)


def verified(work, digest):
    clean = subprocess.run(["fsck.fat", "-n", work], capture_output=True).returncode == 0
    return clean and inspect(work, "--contents-digest") == digest


def copy_out_reformat_copy_in(work, info):
    """The baseline, timed from copy-out to the image's fdatasync."""
    outdir = work + ".files"
    shutil.rmtree(outdir, ignore_errors=True)
    os.mkdir(outdir)
    with open(work, "rb") as f:
        boot = f.read(512)
    volume_id = int.from_bytes(boot[0x43:0x47], "little")
    label = boot[0x47:0x52].decode("ascii").rstrip()
    mkfs = ["mkfs.fat", "-F", "32", "-S", str(info["bytes_per_sector"]),
            "-s", str(info["sectors_per_cluster"]), "-R", str(info["reserved_sectors"]),
            "-f", str(info["num_fats"]), "-i", f"{volume_id:08X}", "-n", label, work]
    start = time.perf_counter()
    subprocess.run(["mcopy", "-s", "-m", "-i", work, "::*", outdir], env=MTOOLS_ENV, check=True)
    subprocess.run(mkfs, check=True, capture_output=True)
    names = [os.path.join(outdir, n) for n in sorted(os.listdir(outdir))]
    subprocess.run(["mcopy", "-s", "-m", "-i", work, *names, "::"], env=MTOOLS_ENV, check=True)
    fd = os.open(work, os.O_RDWR)
    os.fdatasync(fd)
    os.close(fd)
    elapsed = time.perf_counter() - start
    shutil.rmtree(outdir)
    return elapsed


def measure(name, pristine, digest, runs, one_run):
    """Median seconds, peak MiB and the last run's output of `one_run(work)`."""
    work = os.path.join(OUT, "work.img")
    times, peaks, checks = [], [], []
    for _ in range(runs):
        fresh_copy(pristine, work)
        seconds, peak, output = one_run(work)
        times.append(seconds)
        peaks.append(peak)
        checks.append(verified(work, digest))
    median = statistics.median(times)
    print(f"  {name:34s} median {median:7.3f} s  (min {min(times):.3f}, max {max(times):.3f})"
          f"  fsck+digest {'OK' if all(checks) else 'FAIL'}")
    return median, max(peaks), output


def engine_run(argv_of):
    def one_run(work):
        with open(work + ".out", "w+") as out:
            seconds, peak, code = run_once(argv_of(work), stdout=out)
            out.seek(0)
            text = out.read()
        if code != 0:
            sys.exit(f"{' '.join(argv_of(work))} failed with exit status {code}:\n{text}")
        return seconds, peak, text
    return one_run


def count_fdatasync(pristine):
    """fdatasync calls of one untimed power-safe run, counted by strace; None without strace."""
    if not shutil.which("strace"):
        return None
    work = os.path.join(OUT, "work.img")
    fresh_copy(pristine, work)
    log = work + ".strace"
    subprocess.run(["strace", "-f", "-c", "-o", log, "-e", "trace=fdatasync", CLI, "--disk", work,
                    "defrag", "C"], stdout=subprocess.DEVNULL, check=True)
    with open(log) as f:
        rows = [line.split() for line in f if line.rstrip().endswith("fdatasync")]
    return int(rows[0][3]) if rows else 0


def dd_seconds(nbytes, runs):
    """Median seconds to write (conv=fdatasync) and read (iflag=direct) nbytes with dd."""
    target = os.path.join(OUT, "dd.tmp")
    count = str(math.ceil(nbytes / 2**20))
    writes, reads = [], []
    for _ in range(runs):
        for argv, into in ((["dd", "if=/dev/zero", f"of={target}", "bs=1M", f"count={count}",
                             "conv=fdatasync"], writes),
                           (["dd", f"if={target}", "of=/dev/null", "bs=1M", "iflag=direct"], reads)):
            into.append(run_once(argv)[0])
    os.remove(target)
    return statistics.median(writes), statistics.median(reads)


def build_image(name, mib, files, dirs, fill, seed):
    image = os.path.join(OUT, f"{name}.img")
    if os.path.exists(image):
        print(f"{name}: reusing {image}")
        return image
    start = time.perf_counter()
    subprocess.run([sys.executable, os.path.join(TOOLS, "mkfragimg"), image, "--size-mb", str(mib),
                    "--files", str(files), "--dirs", str(dirs), "--fill", str(fill), "--seed", str(seed),
                    *MKFRAG], check=True,
                   stdout=subprocess.DEVNULL)
    print(f"{name}: built {image} in {time.perf_counter() - start:.1f} s")
    return image


def bench_image(image, runs):
    info = json.loads(inspect(image, "--json"))
    digest = inspect(image, "--contents-digest")
    size = os.path.getsize(image)
    print(f"{os.path.basename(image)}: {size / 2**20:.0f} MiB {info['fat_type']}, "
          f"{info['cluster_size']} B clusters, {info['total_clusters']} clusters "
          f"({info['free_clusters']} free), {info['files']} files in {info['dirs']} folders, "
          f"{info['fragmented_files']} fragmented ({info['fragments_total']} fragments), "
          f"{info['free_gaps']} free gaps")
    safe, peak, text = measure("defrag (power-safe, default)", image, digest, runs,
                               engine_run(lambda w: [CLI, "--json", "--disk", w, "defrag", "C"]))
    noflush, noflush_peak, _ = measure("defrag, no flushes between steps", image, digest, runs,
                                       engine_run(lambda w: [NOFLUSH, w]))
    baseline, _, _ = measure("copy-out, mkfs.fat, copy-in", image, digest, runs,
                             lambda w: (copy_out_reformat_copy_in(w, info), 0.0, ""))
    summary = json.loads([line for line in text.splitlines() if line.startswith("{")][-1])
    return dict(size=size, info=info, safe=safe, noflush=noflush, baseline=baseline,
                peak=max(peak, noflush_peak), summary=summary, image=image)


def report(r, runs):
    s, info = r["summary"], r["info"]
    moves, clusters = s["moved_files"], s["moved_clusters"]
    nbytes = clusters * info["cluster_size"]
    print(f"  moved {moves} files (moves), {clusters} clusters = {nbytes / 2**20:.1f} MiB; after the run "
          f"{s['fragmented_files']} fragmented files, {s['gaps']} gaps (quillo-cli summary)")
    flushes = count_fdatasync(r["image"])
    if flushes is None:
        print(f"  flushes: strace missing; by design 2 a move, plus 1 for each table write whose chain crosses a table sector")
    else:
        print(f"  flushes: {flushes} fdatasync calls in one power-safe run (strace -c -f), "
              f"{flushes / moves:.3f} a move (design: 2, plus 1 for each table write whose chain crosses a table sector)")
    write, read = dd_seconds(nbytes, runs)
    dd_copy = nbytes / (write + read) / 2**20
    print(f"  dd, same bytes on the same disk: write {nbytes / write / 2**20:.0f} MiB/s (conv=fdatasync), "
          f"read {nbytes / read / 2**20:.0f} MiB/s (iflag=direct, caches not dropped); "
          f"read+write {dd_copy:.0f} MiB/s")
    for name, seconds in (("power-safe", r["safe"]), ("no-flush", r["noflush"])):
        rate = nbytes / seconds / 2**20
        print(f"  data copy {name:10s}: {rate:6.0f} MiB/s over the whole run = "
              f"{100 * rate / dd_copy:.0f} % of dd read+write")
    print(f"  peak memory (highest of the defrag runs, ru_maxrss) {r['peak']:.1f} MiB = "
          f"{100 * r['peak'] * 2**20 / r['size']:.1f} % of the image")
    return nbytes / r["safe"] / 2**20 / dd_copy


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--build", default=os.path.join(ROOT, "build"), help="build tree whose quillo-cli and libraries are timed")
    args = parser.parse_args()
    global BUILD, CLI, NOFLUSH
    BUILD = os.path.abspath(args.build)
    CLI = os.path.join(BUILD, "quillo-cli")
    NOFLUSH = os.path.join(BUILD, "defrag_noflush")
    if not os.access(CLI, os.X_OK):
        sys.exit("build first: scripts/build.sh")
    os.makedirs(OUT, exist_ok=True)
    os.environ["XDG_CONFIG_HOME"] = os.path.join(OUT, "config")
    subprocess.run(["g++", "-std=c++20", "-O2", f"-I{ROOT}", os.path.join(ROOT, "bench", "defrag_noflush.cpp"),
                    os.path.join(BUILD, "libquillo_cli.a"), os.path.join(BUILD, "libquillo_engine.a"),
                    *ENGINE_LIBS, "-o", NOFLUSH], check=True)
    print(f"disk under {OUT}: {subprocess.run(['df', '--output=fstype', OUT], capture_output=True, text=True).stdout.split()[-1]}")
    images = [build_image(*spec) for spec in IMAGES + [LARGE_FILES_IMAGE]]
    results, copy_shares = [], []
    for image in images:
        results.append(bench_image(image, args.runs))
        copy_shares.append(report(results[-1], args.runs))
    large_files = results.pop()
    large_files_share = copy_shares.pop()
    for leftover in ("work.img", "work.img.out", "work.img.strace"):
        os.remove(os.path.join(OUT, leftover))
    small, large = results
    for r in results:
        s = r["summary"]
        used = (r["info"]["total_clusters"] - r["info"]["free_clusters"])
        print(f"  {r['size'] / 2**20:5.0f} MiB image: defrag median {r['safe']:.3f} s, moved "
              f"{s['moved_clusters'] * r['info']['cluster_size'] / 2**20:.1f} MiB in {s['moved_files']} moves "
              f"= {s['moved_clusters'] / used:.2f} x the used data")
    print("targets (320 MiB image unless named):")
    checks = [("power-safe / copy-out-reformat-copy-in", small["safe"] / small["baseline"], "<= 5", 5),
              ("1280 MiB time / 320 MiB time (power-safe)", large["safe"] / small["safe"], "<= 4.5", 4.5),
              ("no-flush / copy-out-reformat-copy-in", small["noflush"] / small["baseline"], "<= 1.5", 1.5)]
    for name, value, target, limit in checks:
        print(f"  {name:44s} {value:6.2f}  (target {target})  {'met' if value <= limit else 'MISSED'}")
    per_mib = [r["safe"] / (r["summary"]["moved_clusters"] * r["info"]["cluster_size"] / 2**20) for r in results]
    print(f"  for reference: seconds per MiB moved, 1280 MiB / 320 MiB image   {per_mib[1] / per_mib[0]:6.2f}")
    print(f"  data copy / dd read+write, large-files image   {100 * large_files_share:5.0f} %"
          f"  (target >= 60 %)  {'met' if large_files_share >= 0.6 else 'MISSED'}")
    for r, share in zip(results, copy_shares):
        print(f"  for reference: data copy / dd, {r['size'] / 2**20:.0f} MiB image  {100 * share:5.0f} %")
    for r in results + [large_files]:
        print(f"  peak memory / image size, {os.path.basename(r['image']):18s}      "
              f"{100 * r['peak'] * 2**20 / r['size']:5.1f} %  (target: far below)")
    print(f"  large-image ratios for reference: power-safe / baseline "
          f"{large['safe'] / large['baseline']:.2f}, no-flush / baseline {large['noflush'] / large['baseline']:.2f}")


if __name__ == "__main__":
    main()
