#!/usr/bin/env python3
"""Hard renders for read-rate comparisons: symbols of the nine formats, turned
to any angle (upside down too), at small modules, blurred, on a plasma
texture, through JPEG; one set with strong noise, one with uneven light.
Scores ZephScan (and ZXingReader, when given) on them: pictures read with
their own text, and reads of any other text.

    bench/render_sets.py make DIR [--per N] [--seed S]
    bench/render_sets.py score DIR [--zephscan PATH] [--zxing PATH] [-- ZEPHSCAN OPTIONS]

Needs zint (the command) and GraphicsMagick's gm. The sets are for measuring
a change in the extended search on pictures the corpus lacks, the same
pictures before and after: compare the counts, not the files.
"""
import argparse
import random
import re
import subprocess
import sys
from pathlib import Path

# zint symbology number, name, and a maker of data for it.
FORMATS = [
    (13, "EAN13", lambda r: digits(r, 12)),
    (34, "UPCA", lambda r: digits(r, 11)),
    (13, "EAN8", lambda r: digits(r, 7)),
    (37, "UPCE", lambda r: "0" + digits(r, 6)),
    (20, "C128", lambda r: text(r, "ABCDEFGHJK0123456789-", 4, 12)),
    (8, "C39", lambda r: text(r, "ABCDEFGHJK0123456789", 4, 10)),
    (25, "C93", lambda r: text(r, "ABCDEFGHJK0123456789", 4, 10)),
    (3, "ITF", lambda r: digits(r, 2 * r.randint(3, 7))),
    (18, "CBR", lambda r: "A" + digits(r, r.randint(4, 10)) + "B"),
]
ZXING_FORMATS = "Codabar,Code39,Code93,Code128,EAN-8,EAN-13,ITF,UPC-A,UPC-E"


def digits(r, n):
    return "".join(r.choice("0123456789") for _ in range(n))


def text(r, alphabet, least, most):
    return "".join(r.choice(alphabet) for _ in range(r.randint(least, most)))


def gm(*args):
    subprocess.run(["gm", *args], check=True, capture_output=True)


def make_set(folder, kind, per, seed):
    r = random.Random(seed)
    work = folder / "work"
    work.mkdir(parents=True, exist_ok=True)
    backgrounds = []
    for i in range(4):
        bg = work / f"bg{i}.png"
        if not bg.exists():
            gm("convert", "-size", "900x700", "plasma:fractal", "-blur", "0x3",
               "-colorspace", "gray", str(bg))
        backgrounds.append(bg)
    shades = [work / "shadeA.png", work / "shadeB.png"]
    gm("convert", "-size", "900x700", "gradient:white-gray25", str(shades[0]))
    gm("convert", "-size", "700x900", "gradient:gray30-white", "-rotate", "90", str(shades[1]))
    made = 0
    for rep in range(per):
        for number, name, data in FORMATS:
            value = data(r)
            symbol = work / f"{name}_{rep}.png"
            run = subprocess.run(["zint", "-b", str(number), "-d", value, "-o", str(symbol),
                                  "--scale", str(r.choice([0.5, 1, 1, 1.5]))],
                                 capture_output=True)
            if run.returncode != 0 or not symbol.exists():
                continue  # zint refuses some UPC-E data; the set skips them
            turned = work / f"turned_{name}_{rep}.png"
            gm("convert", str(symbol), "-background", "white", "-rotate",
               f"{r.uniform(0, 360):.1f}", str(turned))
            placed = work / f"placed_{name}_{rep}.png"
            gm("composite", "-geometry", f"+{r.randint(50, 400)}+{r.randint(50, 300)}",
               str(turned), str(r.choice(backgrounds)), str(placed))
            if kind == "shaded" and r.random() < 0.5:
                gm("composite", "-compose", "Multiply", str(r.choice(shades)), str(placed),
                   str(placed))
            finish = ["convert", str(placed)]
            blur = r.choice([0, 0.5, 0.8, 1.2, 1.6] if kind == "noisy" else [0, 0.4, 0.7, 1.0])
            if blur:
                finish += ["-blur", f"0x{blur}"]
            if kind == "noisy" and r.random() < 0.5:
                finish += ["+noise", "Gaussian"]
            out = folder / f"{name}_{rep:02d}.jpg"
            finish += ["-quality", str(r.choice([50, 70, 90])), str(out)]
            gm(*finish)
            out.with_suffix(".txt").write_text(value)
            made += 1
    return made


def upce_as_upca(value):
    """The UPC-A digits (no check) a UPC-E value of number system and six digits stands for."""
    s, d = value[0], value[1:7]
    last = d[5]
    if last in "012":
        body = d[0:2] + last + "0000" + d[2:5]
    elif last == "3":
        body = d[0:3] + "00000" + d[3:5]
    elif last == "4":
        body = d[0:4] + "00000" + d[4]
    else:
        body = d[0:5] + "0000" + last
    return s + body


def is_read_of(name, expected, raw):
    raw = raw.replace(" ", "")
    if name == "UPCE":
        return expected[1:7] in raw or upce_as_upca(expected) in raw
    if name == "CBR":
        return expected.strip("AB") in raw and len(raw) <= len(expected) + 2
    if name in ("EAN13", "UPCA", "EAN8"):
        return raw.startswith(expected) or raw.startswith("0" + expected)
    return raw == expected


def zephscan_reads(program, files, options):
    xml = subprocess.run([program, *options, str(files[0].parent / "*.jpg")],
                         capture_output=True, text=True).stdout
    reads = {}
    for block in xml.split("<ZephScanResult>")[1:]:
        name = re.search(r"<FileName>(.*?)</FileName>", block)
        if name:
            reads[Path(name.group(1)).name] = re.findall(r"<RawData>(.*?)</RawData>", block)
    return reads


def zxing_reads(program, files):
    out = subprocess.run([program, "-formats", ZXING_FORMATS, "-1", *map(str, files)],
                         capture_output=True, text=True).stdout
    reads = {}
    for line in out.splitlines():
        m = re.match(r'(\S+) [^"]+ "(.*)"$', line)
        if m:
            reads.setdefault(Path(m.group(1)).name, []).append(m.group(2))
    return reads


def score(folder, reads):
    per = {}
    wrong = 0
    for picture in sorted(folder.glob("*.jpg")):
        name = picture.stem.split("_")[0]
        expected = picture.with_suffix(".txt").read_text().strip()
        got = reads.get(picture.name, [])
        good = any(is_read_of(name, expected, g) for g in got)
        wrong += sum(1 for g in got if not is_read_of(name, expected, g))
        count = per.setdefault(name, [0, 0])
        count[0] += good
        count[1] += 1
    total = sum(c[0] for c in per.values())
    pictures = sum(c[1] for c in per.values())
    detail = " ".join(f"{k} {v[0]}/{v[1]}" for k, v in per.items())
    return f"{total}/{pictures} read, {wrong} wrong ({detail})"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("action", choices=["make", "score"])
    parser.add_argument("folder", type=Path)
    parser.add_argument("--per", type=int, default=24, help="pictures per format and set")
    parser.add_argument("--seed", type=int, default=11)
    parser.add_argument("--zephscan", default="build/release/cli/ZephScan")
    parser.add_argument("--zxing", help="ZXingReader to score beside ZephScan")
    parser.add_argument("options", nargs="*", help="ZephScan options (default -THREADS 1)")
    args = parser.parse_args()
    kinds = ["noisy", "shaded"]
    if args.action == "make":
        for i, kind in enumerate(kinds):
            made = make_set(args.folder / kind, kind, args.per, args.seed + i)
            print(f"{kind}: {made} pictures in {args.folder / kind}")
        return 0
    for kind in kinds:
        folder = args.folder / kind
        files = sorted(folder.glob("*.jpg"))
        if not files:
            print(f"{folder}: no pictures (run make first)", file=sys.stderr)
            return 1
        options = args.options or ["-THREADS", "1"]
        print(f"{kind}: ZephScan {score(folder, zephscan_reads(args.zephscan, files, options))}")
        if args.zxing:
            print(f"{kind}: ZXingReader {score(folder, zxing_reads(args.zxing, files))}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
