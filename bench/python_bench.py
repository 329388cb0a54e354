#!/usr/bin/python3
"""The Python package's figures, one run each:

1. zephbarcode.read of a 12-megapixel NumPy array against the C++ API's
   ReadBarcodes on the same pixels in the same process, turn about, medians
   of nine;
2. four threads of one process reading different 12-megapixel arrays against
   one thread reading them all;
3. zephbarcode.batch over ../shared/corpus on a LocalCluster of two worker
   processes against ZephScan's report: the same reads?

    bench/python_bench.py [--build DIR] [--photos N]

DIR (default build/release) must hold bench/photo_bench, cli/ZephScan and
the package in python/. Needs Debian's python3-numpy,
python3-pil and python3-distributed.
"""

import argparse
import concurrent.futures
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]


def median_ms(work, runs=9):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        work()
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=str(ROOT / "build" / "release"))
    parser.add_argument("--photos", type=int, default=4)
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    sys.path.insert(0, str(build / "python"))
    sys.path.insert(0, str(ROOT / "python" / "tests"))
    import numpy as np
    import PIL.Image
    import zephbarcode
    from zephbarcode import _zephbarcode
    from conftest import CORPUS, as_report, zephscan_reads

    with tempfile.TemporaryDirectory() as folder:
        folder = pathlib.Path(folder)
        subprocess.run([build / "bench" / "photo_bench", folder, str(args.photos)], check=True,
                       capture_output=True)
        arrays = []
        print("1. read of a 12-MP NumPy array against the C++ API on the same pixels, in one "
              "process, turn about, medians of nine (ms)")
        for photo in sorted(folder.glob("*.jpg")):
            rgb = np.asarray(PIL.Image.open(photo).convert("RGB"))
            arrays.append(rgb)
            python_ms, cpp_ms = [], []
            for _ in range(9):
                start = time.perf_counter()
                zephbarcode.read(rgb)
                python_ms.append((time.perf_counter() - start) * 1000)
                cpp_ms.append(_zephbarcode._time_cpp_read(rgb, 3))
            p, c = statistics.median(python_ms), statistics.median(cpp_ms)
            print(f"   {photo.name:16} Python {p:7.1f}  C++ {c:7.1f}  ratio {p / c:.3f}")

    print("2. four threads of one process against one thread, the same arrays")
    work = arrays * 3
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        # Every thread's first read builds its tables and raster: not timed.
        list(pool.map(zephbarcode.read, arrays * 2))
        start = time.perf_counter()
        one = [zephbarcode.read(a) for a in work]
        single = time.perf_counter() - start
        start = time.perf_counter()
        four = list(pool.map(zephbarcode.read, work))
        threaded = time.perf_counter() - start
    assert four == one
    print(f"   {len(work)} reads: one thread {single:.2f} s, four threads {threaded:.2f} s, "
          f"speed-up {single / threaded:.2f}")

    print("3. Dask, two local worker processes, over the corpus")
    if not CORPUS.is_dir():
        print("   no corpus beside the repository")
        return
    import os
    os.environ["ZEPHSCAN"] = str(build / "cli" / "ZephScan")
    os.environ["PYTHONPATH"] = str(build / "python")
    import distributed
    from zephbarcode import batch
    expected = {}
    for set_folder in sorted(p for p in CORPUS.iterdir() if p.is_dir()):
        expected.update(zephscan_reads(set_folder / "*.png"))
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        start = time.perf_counter()
        results = batch.read_folder(client, CORPUS, pattern="*.png", recursive=True)
        elapsed = time.perf_counter() - start
    same = sum(as_report(r.barcodes) == expected.get(r.path) for r in results)
    reads = sum(len(r.barcodes) for r in results)
    print(f"   {len(results)} files, {reads} reads in {elapsed:.1f} s; "
          f"{same} of {len(expected)} files exactly as ZephScan's report"
          f"{'' if same == len(expected) == len(results) else ' -- DIFFERENT'}")


if __name__ == "__main__":
    main()
