#!/usr/bin/env python3
"""Time the internet lists over a large browser home.

Builds (once) under build/bench/browser-home a Firefox profile with 30,000
cache entries and 20,000 cookies over 5,000 sites, and a Chromium profile
with 10,000 simple-cache entries, all in the browsers' file layouts; then
prints the seconds and peak memory of `quillo-cli list URLcache` and
`quillo-cli list Cookies` over it (best of three).
"""
import os
import sqlite3
import struct
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CLI = os.path.join(ROOT, "build", "quillo-cli")
HOME = os.path.join(ROOT, "build", "bench", "browser-home")
FIREFOX_ENTRIES, CHROMIUM_ENTRIES, SITES, COOKIES_PER_SITE = 30000, 10000, 5000, 4


def firefox_entry(key):
    data = b"<html>" + b"x" * 2000 + b"</html>"
    header = struct.pack(">8I", 3, 1, 0, 0, 0, 0xFFFFFFFF, len(key), 0)
    meta = b"\0" * 4 + b"\0\0" + header + key + b"\0" + b"response-head\0HTTP/1.1 200 OK\r\n\0"
    return data + meta + struct.pack(">I", len(data))


def simple_entry(key):
    header = struct.pack("<QIII", 0xFCFB6D1BA7725C30, 5, len(key), 0) + b"\0" * 4
    eof = struct.pack("<QIII", 0xF4FA6F45970D41D8, 0, 0, 0) + b"\0" * 4
    return header + key + b"<html>" + b"x" * 2000 + b"</html>" + eof + b"HTTP/1.1 200 OK" + eof


def build_home():
    if os.path.exists(os.path.join(HOME, "done")):
        return
    profile = os.path.join(HOME, ".config/mozilla/firefox/bench.default")
    entries = os.path.join(HOME, ".cache/mozilla/firefox/bench.default/cache2/entries")
    chromium = os.path.join(HOME, ".config/chromium/Default")
    data = os.path.join(HOME, ".cache/chromium/Default/Cache/Cache_Data")
    for folder in (profile, entries, chromium, data):
        os.makedirs(folder, exist_ok=True)
    with open(os.path.join(HOME, ".config/mozilla/firefox/profiles.ini"), "w") as ini:
        ini.write("[Profile0]\nName=bench\nIsRelative=1\nPath=bench.default\nDefault=1\n")
    with open(os.path.join(chromium, "Preferences"), "w") as prefs:
        prefs.write("{}")
    for i in range(FIREFOX_ENTRIES):
        with open(os.path.join(entries, "%040X" % i), "wb") as f:
            f.write(firefox_entry(b"a,:http://site%d.test/page/%d.html" % (i % SITES, i)))
    for i in range(CHROMIUM_ENTRIES):
        key = b"1/0/_dk_http://s.test http://s.test http://s.test/img/%d.png" % i
        with open(os.path.join(data, "%016x_0" % i), "wb") as f:
            f.write(simple_entry(key))
    db = sqlite3.connect(os.path.join(profile, "cookies.sqlite"))
    db.execute("CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT '', "
               "name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER)")
    db.executemany("INSERT INTO moz_cookies (name, value, host, path, expiry) VALUES (?, 'v', ?, '/', 0)",
                   [("c%d" % n, ".site%d.test" % s) for s in range(SITES) for n in range(COOKIES_PER_SITE)])
    db.commit()
    db.close()
    open(os.path.join(HOME, "done"), "w").close()


def timed(keyword):
    env = dict(os.environ, HOME=HOME, XDG_CONFIG_HOME=HOME + "/.config", XDG_CACHE_HOME=HOME + "/.cache")
    best, rows, peak = None, 0, 0
    out = os.path.join(HOME, "rows.txt")
    for _ in range(3):
        start = time.monotonic()
        with open(out, "wb") as sink:
            child = subprocess.Popen([CLI, "list", keyword], env=env, stdout=sink, stderr=subprocess.DEVNULL)
            _, status, usage = os.wait4(child.pid, 0)
        elapsed = time.monotonic() - start
        if status != 0:
            sys.exit("quillo-cli list %s failed" % keyword)
        best = elapsed if best is None else min(best, elapsed)
        peak = max(peak, usage.ru_maxrss / 1024)
        with open(out, "rb") as rows_file:
            rows = rows_file.read().count(b"\n")
    return best, rows, peak


def main():
    if not os.path.exists(CLI):
        sys.exit("build first: scripts/build.sh")
    build_home()
    for keyword in ("URLcache", "Cookies"):
        seconds, rows, peak = timed(keyword)
        print("list %-8s  %6d rows  %6.2f s  peak %5.1f MiB" % (keyword, rows, seconds, peak))


if __name__ == "__main__":
    main()
