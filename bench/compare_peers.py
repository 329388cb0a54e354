#!/usr/bin/env python3
"""ZephScan against ZXingReader 3.1.1 and zbarimg: wall time, CPU time and peak memory.

Runs, in one go and turn about, ZephScan with one worker thread, ZephScan with
its default threads, ZXingReader (given every linear format it reads) and
zbarimg (when installed) over every PNG of the real-photo corpus, over every
PNG of the corpus of further symbologies (GS1 DataBar, Telepen) on lines of
its own, over a smooth 12-megapixel pair (an EAN-13 on a blurred plasma
texture, turned 17 degrees, and the texture alone; made with GraphicsMagick
and zint when both are installed) and over generated 12-megapixel JPEG grain
photos, and prints the medians
side by side with their ratios to ZXingReader; every fourth corpus picture is
also read in a process of its own, as pipelines that start a reader per picture
read them. Then prints the engine's search
against TurboJPEG's decode on each photo (bench/photo_bench).

    bench/compare_peers.py [--build DIR] [--zxing PATH] [--corpus DIR]
                           [--extra DIR] [--photos N] [--repeats N]

Needs a build with -DZEPH_BENCH=ON (for photo_bench); Python 3 alone.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
FORMATS = ("Codabar,Code39,Code93,Code128,EAN-8,EAN-13,ITF,UPC-A,UPC-E,DataBar,DataBarExpanded,"
           "DataBarLimited,Telepen")


def run_measured(command):
    """Wall seconds, CPU seconds (user + system) and peak resident MB of one run."""
    start = time.perf_counter()
    with open(os.devnull, "wb") as sink:
        process = subprocess.Popen(command, stdout=sink, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit(f"failed ({process.returncode}): {' '.join(map(str, command[:3]))} ...")
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024


def find_program(name):
    """A program from PATH, or None."""
    for folder in os.environ.get("PATH", "").split(os.pathsep):
        candidate = Path(folder) / name
        if folder and candidate.is_file() and os.access(candidate, os.X_OK):
            return candidate
    return None


def make_smooth_pair(folder):
    """Two 12-megapixel JPEG files (quality 90): a zint EAN-13 at scale 6 on a blurred
    plasma texture, the whole turned 17 degrees and cropped back to 4000 x 3000, and
    the texture alone. Little texture is where row readers are quickest. None when
    GraphicsMagick or zint is missing."""
    gm, zint = find_program("gm"), find_program("zint")
    if not gm or not zint:
        return None
    folder.mkdir()
    bg, symbol, label = folder / "bg.png", folder / "ean13.png", folder / "label.png"
    steps = [
        [gm, "convert", "-size", "4000x3000", "plasma:fractal", "-blur", "0x2", "-colorspace",
         "gray", bg],
        [zint, "-b", "EANX", "--scale=6", "-d", "590123412345", "-o", symbol],
        [gm, "composite", "-geometry", "+1200+900", symbol, bg, label],
        [gm, "convert", label, "-background", "white", "-rotate", "17", "-gravity", "center",
         "-crop", "4000x3000+0+0", "+repage", "-quality", "90", folder / "smooth-label.jpg"],
        [gm, "convert", bg, "-quality", "90", folder / "smooth-texture.jpg"],
    ]
    for step in steps:
        subprocess.run([str(c) for c in step], check=True, stdout=subprocess.DEVNULL)
    for png in (bg, symbol, label):
        png.unlink()
    return sorted(folder.glob("*.jpg"))


def flatten_corpus(corpus, folder):
    """Links every PNG of the corpus into one folder, for one ZephScan mask."""
    files = []
    for png in sorted(corpus.rglob("*.png")):
        link = folder / f"{png.parent.name}__{png.name}"
        link.symlink_to(png.resolve())
        files.append(link)
    return files


def compare(name, files, mask, zephscan, zxing, repeats):
    readers = [
        ("ZephScan -threads 1", [zephscan, "-threads", "1", mask]),
        ("ZephScan (default threads)", [zephscan, mask]),
        ("ZXingReader 3.1.1", [zxing, "-formats", FORMATS, "-1", *files]),
    ]
    zbar = find_program("zbarimg")
    if zbar:
        # zbarimg exits 4 when a file holds no symbol: "|| true" keeps its times.
        readers.append(("zbarimg", ["sh", "-c", '"$0" -q --nodbus "$@" || true', zbar, *files]))
    runs = {label: [] for label, _ in readers}
    for _ in range(repeats):
        for label, command in readers:  # turn about, so that noise spreads evenly
            runs[label].append(run_measured([str(c) for c in command]))
    print_medians(f"{name}: {len(files)} files, median of {repeats} runs", runs)


def compare_one_by_one(name, files, zephscan, zxing, repeats):
    """Each file in a process of its own, as pipelines that start a reader per picture
    run them: the sum of the processes' times, and the largest peak."""
    readers = [
        ("ZephScan -threads 1", lambda f: [zephscan, "-threads", "1", f]),
        ("ZephScan (default threads)", lambda f: [zephscan, f]),
        ("ZXingReader 3.1.1", lambda f: [zxing, "-formats", FORMATS, "-1", f]),
    ]
    runs = {label: [] for label, _ in readers}
    for _ in range(repeats):
        totals = {label: [0.0, 0.0, 0.0] for label in runs}
        for f in files:
            for label, command in readers:  # turn about, file by file
                wall, cpu, peak = run_measured([str(c) for c in command(f)])
                total = totals[label]
                total[0] += wall
                total[1] += cpu
                total[2] = max(total[2], peak)
        for label, total in totals.items():
            runs[label].append(tuple(total))
    print_medians(f"{name}: {len(files)} files, one process each, median of {repeats} runs",
                  runs)


def print_medians(title, runs):
    median = {
        label: tuple(statistics.median(r[i] for r in runs[label]) for i in range(3))
        for label in runs
    }
    peer = median["ZXingReader 3.1.1"]
    print(f"\n{title}")
    print(f"{'reader':28} {'wall s':>8} {'CPU s':>8} {'peak MB':>8} {'wall ratio':>11} "
          f"{'CPU ratio':>10}")
    for label, (wall, cpu, peak) in median.items():
        print(f"{label:28} {wall:8.3f} {cpu:8.3f} {peak:8.1f} {wall / peer[0]:11.2f} "
              f"{cpu / peer[1]:10.2f}")


def find_build(explicit):
    candidates = [Path(explicit)] if explicit else [
        ROOT / "build" / "bench", ROOT / "build" / "release", ROOT / "build"]
    for build in candidates:
        if (build / "cli" / "ZephScan").exists() and (build / "bench" / "photo_bench").exists():
            return build
    sys.exit("no build with ZephScan and bench/photo_bench (configure with -DZEPH_BENCH=ON); "
             "name one with --build")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", help="build folder holding cli/ZephScan and bench/photo_bench")
    parser.add_argument("--zxing", default=str(ROOT.parent / "shared" / "peers" / "ZXingReader"))
    parser.add_argument("--corpus", default=str(ROOT.parent / "shared" / "corpus"))
    parser.add_argument("--extra", default=str(ROOT.parent / "shared" / "corpus-extra"),
                        help="the corpus of further symbologies")
    parser.add_argument("--photos", type=int, default=4, help="12-megapixel photos to make")
    parser.add_argument("--repeats", type=int, default=3)
    args = parser.parse_args()

    build = find_build(args.build)
    zephscan = build / "cli" / "ZephScan"
    zxing = Path(args.zxing)
    if not zxing.exists():
        sys.exit(f"no ZXingReader at {zxing} (give --zxing)")
    corpus = Path(args.corpus)
    print(f"ZephScan {zephscan}\nZXingReader {zxing}\nprocessors: {len(os.sched_getaffinity(0))}")

    with tempfile.TemporaryDirectory(prefix="zeph-peers-") as work:
        work = Path(work)
        if corpus.is_dir():
            flat = work / "corpus"
            flat.mkdir()
            files = flatten_corpus(corpus, flat)
            compare("Corpus", files, f"{flat}/*.png", zephscan, zxing, args.repeats)
            # Every fourth picture: start-up is most of the time there.
            compare_one_by_one("Corpus pictures", files[::4], zephscan, zxing, args.repeats)
        else:
            print(f"\nno corpus at {corpus}: skipped")
        extra = Path(args.extra)
        if extra.is_dir():
            flat = work / "extra"
            flat.mkdir()
            files = flatten_corpus(extra, flat)
            compare("Corpus of further symbologies", files, f"{flat}/*.png", zephscan, zxing,
                    args.repeats)
        else:
            print(f"\nno corpus of further symbologies at {extra}: skipped")

        smooth = make_smooth_pair(work / "smooth")
        if smooth:
            compare("Smooth 12-megapixel pair (EAN-13 on plasma, and plasma alone)", smooth,
                    f"{work / 'smooth'}/*.jpg", zephscan, zxing, args.repeats)
        else:
            print("\nno gm (graphicsmagick) or zint: the smooth pair is skipped")

        photos = work / "photos"
        timing = subprocess.run([str(build / "bench" / "photo_bench"), str(photos),
                                 str(args.photos)], check=True, capture_output=True, text=True)
        files = sorted(photos.glob("*.jpg"))
        compare("12-megapixel JPEG grain photos (half with a label)", files, f"{photos}/*.jpg",
                zephscan, zxing, args.repeats)
        print("\nThe engine's search (XR_SearchExtended, thorough, one thread) against "
              "TurboJPEG's decode, median of 5:")
        print(timing.stdout, end="")


if __name__ == "__main__":
    main()
