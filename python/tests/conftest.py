"""Shared helpers: ZephScan's report for a folder, parsed, to compare with."""

import html
import os
import pathlib
import re
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
SAMPLES = ROOT / "samples"
CORPUS = ROOT.parent / "shared" / "corpus"

_BLOCK = re.compile(rb"<ZephScanResult>.*?</ZephScanResult>", re.S)
_FIELD = re.compile(rb"<(\w+)>(.*?)</\1>", re.S)


def zephscan_reads(mask):
    """{file path: [(data, symbology, type, descriptor, confidence, sx, sy, ex, ey)]}
    from ZephScan's report over `mask`."""
    program = os.environ.get("ZEPHSCAN")
    if not program:
        pytest.skip("ZEPHSCAN (the built program) is not set")
    run = subprocess.run([program, str(mask)], capture_output=True)
    # 3: some file could not be read (its block says so); the others are in the report.
    assert run.returncode in (0, 3), run.stderr
    report = run.stdout
    reads = {}
    for block in _BLOCK.findall(report):
        name = re.search(rb"<FileName>(.*?)</FileName>", block).group(1)
        matches = []
        for match in re.findall(rb"<BarcodeMatch>(.*?)</BarcodeMatch>", block, re.S):
            fields = dict(_FIELD.findall(match))
            text = lambda key: html.unescape(fields[key].decode("utf-8"))
            matches.append((text(b"Data"), text(b"Symbology"), text(b"BarcodeType"),
                             text(b"DataDescriptor"), fields[b"Confidence"].decode(),
                             *(int(fields[k]) for k in (b"Startx", b"Starty", b"Stopx", b"Stopy"))))
        reads[html.unescape(name.decode())] = matches
    return reads


def as_report(barcodes):
    """The library's results in the report's terms."""
    return [(b.text, b.symbology_name, b.type, b.descriptor, f"{b.confidence:.3f}", *b.start, *b.stop)
            for b in barcodes]
