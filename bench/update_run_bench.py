#!/usr/bin/env python3
"""The whole update on a large realistic input, beside the floor of its outside tools.

Builds an archive of bureau lists (by default 20 PDF tables of 30 pages, 30,000 callsign-like words:
Ukrainian calls the callbook holds, Ukrainian calls it does not, foreign calls and numbers) and a
callbook of 100,000 stations, then times:

  floor  the same extraction and conversion done alone: `unrar x` of the archive, then
         `pdftotext LIST.pdf LIST.txt -layout` (as the plug-in runs it) of every list, one after the
         other as the run does them;
  run    `loghost --headless` choosing "Get Bureau users info (Ukraine)" on the archive (location
         Local), from start to exit, on a fresh copy of the callbook each time, with the converters
         working ahead as the plug-in sets them (one per processor);
  run/1  the same with one converter at a time (ZARBEX_CONVERTERS=1), as on a single core;
  host   `loghost --list` alone: loading the host, its callbook and the plug-in, then exiting.

The floor and the runs are measured side by side, one of each per round, and each figure is the
median of --repeat rounds. It prints the ratios run / floor, the peak resident memory of the host
process (the largest of it and the converters it waited for), the most working files the DOWNLOAD
folder held at once, and the counts of the run.

    bench/update_run_bench.py [--build build] [--lists 20] [--pages 30] [--rows 50] [--repeat 3]

Needs a build tree with loghost and fixturegen (`cmake --build build --target loghost fixturegen`),
and the rar, unrar and pdftotext tools (scripts/setup.sh installs them).
"""

import argparse
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
REPO = HERE.parent
CAPTION = "Get Bureau users info (Ukraine)"


def run(args, **kwargs):
    return subprocess.run(args, check=True, **kwargs)


def timed(action):
    """The wall time of action() and its result."""
    start = time.perf_counter()
    result = action()
    return time.perf_counter() - start, result


def make_input(work, build, lists, pages, rows_per_page, rng):
    callbook = work / "callbook.db"
    known = work / "known.txt"
    run([sys.executable, str(REPO / "demo" / "make_callbook.py"), "--db", str(callbook), "--scale", "5",
         "--list-ur", "12000", str(known)])
    known_calls = known.read_text().split()
    letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    names = ["Ivan", "Petro", "Oleh", "Taras", "Olena", "Iryna", "Mykola", "Serhiy", "Andriy", "Yuriy"]
    cities = ["Kyiv", "Lviv", "Odesa", "Kharkiv", "Dnipro", "Poltava", "Sumy", "Rivne", "Lutsk", "Uzhhorod"]

    def unknown_ukrainian():
        return rng.choice(["UR", "UT", "UX", "US", "UY"]) + rng.choice("0123456789") + "".join(
            rng.choice(letters) for _ in range(3)) + rng.choice(["", "/P", "/M"])

    def foreign():
        return rng.choice(["DL", "SP", "OK", "HA", "YO", "LY", "ES", "OH"]) + rng.choice("0123456789") + "".join(
            rng.choice(letters) for _ in range(rng.choice([2, 3])))

    fixturegen = build / "tools" / "fixturegen" / "fixturegen"
    lists_dir = work / "lists"
    lists_dir.mkdir()
    env = dict(os.environ, QT_QPA_PLATFORM=os.environ.get("QT_QPA_PLATFORM", "offscreen"))
    for n in range(1, lists + 1):
        table = work / f"members{n:02d}.tsv"
        with table.open("w", encoding="utf-8") as out:
            for row in range(1, pages * rows_per_page + 1):
                pick = rng.random()
                call = rng.choice(known_calls) if pick < 0.5 else unknown_ukrainian() if pick < 0.8 else foreign()
                out.write(f"{row}\t{call}\t{rng.choice(names)}\t{rng.choice(cities)}\n")
        run([str(fixturegen), "pdf", str(lists_dir / f"members{n:02d}.pdf"), "--table", str(table),
             "--per-page", str(rows_per_page)], env=env)
    archive = work / "members.rar"
    run(["rar", "a", "-ep1", "-m5", "-idq", str(archive)] + sorted(str(p) for p in lists_dir.glob("*.pdf")))
    return archive, callbook


def floor(work, archive, i):
    out = work / f"floor{i}"
    out.mkdir()
    run(["unrar", "x", "-inul", "-y", str(archive), str(out) + "/"])
    for pdf in sorted(out.glob("*.pdf")):
        run(["pdftotext", str(pdf), str(pdf.with_suffix(".txt")), "-layout"])
    shutil.rmtree(out)


def loghost_args(build, work, callbook, i):
    return [str(build / "Host" / "loghost"), "--callbook", str(callbook), "--ini", str(work / f"host{i}.ini"),
            "--log", str(work / f"host{i}.log"), "--download", str(work / "download")]


def update_run(build, work, archive, callbook, i, converters=None):
    copy = work / f"run{i}.db"
    shutil.copyfile(callbook, copy)
    download = work / "download"
    download.mkdir(exist_ok=True)
    output = work / f"run{i}.out"
    env = dict(os.environ)
    if converters is not None:
        env["ZARBEX_CONVERTERS"] = str(converters)
    most_files = 0
    with output.open("w") as out:
        host = subprocess.Popen(loghost_args(build, work, copy, i) + [
            "--headless", "--invoke", CAPTION, "--location", "local", "--source", str(archive)],
            stdout=out, stderr=subprocess.STDOUT, env=env)
        # Counts the working files now and then; wait4 then gives the resources of this process alone
        # (and of the converters it waited for).
        while True:
            pid, status, usage = os.wait4(host.pid, os.WNOHANG)
            if pid != 0:
                break
            try:
                most_files = max(most_files, len(os.listdir(download)))
            except FileNotFoundError:
                pass
            time.sleep(0.02)
        host.returncode = os.waitstatus_to_exitcode(status)
    if host.returncode != 0:
        sys.exit(f"loghost failed ({host.returncode}):\n{output.read_text()}")
    log = (work / f"host{i}.log").read_text(encoding="utf-8")
    flagged = subprocess.run(["sqlite3", str(copy), "SELECT COUNT(*) FROM CALLBOOK WHERE Use_BUREAU"],
                             capture_output=True, text=True, check=True).stdout.strip()
    return log, flagged, usage.ru_maxrss, most_files


def host_alone(build, work, callbook, i):
    run(loghost_args(build, work, callbook, 100 + i) + ["--list"], stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", type=Path, default=REPO / "build", help="build tree (default: %(default)s)")
    parser.add_argument("--lists", type=int, default=20, help="PDF lists in the archive (default: %(default)s)")
    parser.add_argument("--pages", type=int, default=30, help="pages of each list (default: %(default)s)")
    parser.add_argument("--rows", type=int, default=50, help="table rows on a page (default: %(default)s)")
    parser.add_argument("--repeat", type=int, default=5, help="rounds of measures (default: %(default)s)")
    parser.add_argument("--keep", type=Path, help="work in this folder and keep it")
    args = parser.parse_args()
    build = args.build.resolve()
    for program in ("rar", "unrar", "pdftotext", "sqlite3"):
        if shutil.which(program) is None:
            sys.exit(f"{program} is missing: run scripts/setup.sh")
    for target in (build / "Host" / "loghost", build / "tools" / "fixturegen" / "fixturegen"):
        if not target.exists():
            sys.exit(f"{target} is missing: cmake --build {build} --target loghost fixturegen")

    work = args.keep.resolve() if args.keep else Path(tempfile.mkdtemp(prefix="zarbex-bench-"))
    work.mkdir(parents=True, exist_ok=True)
    os.environ.setdefault("XDG_RUNTIME_DIR", str(work / "runtime"))
    os.environ["XDG_CONFIG_HOME"] = str(work / "config")
    Path(os.environ["XDG_RUNTIME_DIR"]).mkdir(mode=0o700, exist_ok=True)
    try:
        start = time.perf_counter()
        archive, callbook = make_input(work, build, args.lists, args.pages, args.rows, random.Random(7))
        print(f"input: {args.lists} lists x {args.pages} pages x {args.rows} rows, archive "
              f"{archive.stat().st_size / 1e6:.1f} MB, callbook 100,000 stations "
              f"(made in {time.perf_counter() - start:.1f} s)")

        floors, runs, singles, hosts, peaks, files = [], [], [], [], [], []
        for i in range(args.repeat):
            floors.append(timed(lambda: floor(work, archive, i))[0])
            elapsed, (log, flagged, peak, most) = timed(lambda: update_run(build, work, archive, callbook, i))
            runs.append(elapsed)
            peaks.append(peak)
            files.append(most)
            elapsed, (single_log, _, peak, most) = timed(
                lambda: update_run(build, work, archive, callbook, 1000 + i, converters=1))
            singles.append(elapsed)
            peaks.append(peak)
            files.append(most)
            hosts.append(timed(lambda: host_alone(build, work, callbook, i))[0])
        floor_time, run_time, single_time = (statistics.median(x) for x in (floors, runs, singles))
        counts = re.search(r"Files:\d+, Tot:\d+, Upd:\d+", log)
        single_counts = re.search(r"Files:\d+, Tot:\d+, Upd:\d+", single_log)
        if not counts or not single_counts or counts.group(0) != single_counts.group(0):
            sys.exit(f"the runs disagree: {log.strip()} / {single_log.strip()}")

        print(f"medians of {args.repeat} rounds on {os.cpu_count()} processors:")
        print(f"floor (unrar + pdftotext alone):  {floor_time:7.2f} s")
        print(f"host start and exit alone:        {statistics.median(hosts):7.2f} s")
        print(f"whole run through loghost:        {run_time:7.2f} s")
        print(f"the same, one converter at a time:{single_time:7.2f} s")
        print(f"ratio run / floor:                {run_time / floor_time:7.2f}   (target at most 0.60 on 2 cores)")
        print(f"ratio run, one at a time / floor: {single_time / floor_time:7.2f}   (target at most 1.10)")
        print(f"peak memory of the host process:  {max(peaks) / 1024:7.1f} MB (target below 200 MB)")
        print(f"most files in DOWNLOAD at once:   {max(files):7d}")
        print(f"run: {counts.group(0)}; bureau flags set: {flagged}")
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
