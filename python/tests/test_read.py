"""zephbarcode.read: every kind of image, every option, the errors, threads,
and the same reads as ZephScan."""

import concurrent.futures
import io
import math
import pathlib

import numpy as np
import PIL.Image
import pytest

import zephbarcode
from zephbarcode import Symbology
from conftest import CORPUS, SAMPLES, as_report, zephscan_reads

EAN = SAMPLES / "ean13.jpg"


@pytest.fixture(scope="module")
def rgb():
    return np.asarray(PIL.Image.open(EAN).convert("RGB"))


@pytest.fixture(scope="module")
def expected(rgb):
    found = zephbarcode.read(rgb)
    assert [b.text for b in found] == ["(590) 123412345"]
    return found


def test_every_kind_of_image_gives_the_same_reads(rgb, expected):
    grey = np.asarray(PIL.Image.fromarray(rgb).convert("L"))
    rgba = np.dstack([rgb, np.full(rgb.shape[:2], 255, np.uint8)])
    encoded = io.BytesIO()
    PIL.Image.fromarray(rgb).save(encoded, "PNG")
    images = {
        "array": rgb, "rgba": rgba, "pillow": PIL.Image.fromarray(rgb),
        "pillow rgba": PIL.Image.fromarray(rgba), "png bytes": encoded.getvalue(),
        "bytearray": bytearray(encoded.getvalue()), "memoryview": memoryview(encoded.getvalue()),
    }
    for name, image in images.items():
        assert zephbarcode.read(image) == expected, name
    # Grey loses nothing this picture needs.
    assert [b.text for b in zephbarcode.read(grey)] == ["(590) 123412345"]
    for mode in ("L", "P", "1"):
        assert [b.text for b in zephbarcode.read(PIL.Image.fromarray(rgb).convert(mode))] == [
            "(590) 123412345"], mode


def test_strides_and_views(rgb, expected):
    h, w, _ = rgb.shape
    padded = np.zeros((h, w + 7, 3), np.uint8)
    padded[:, :w] = rgb
    bottom_up = np.ascontiguousarray(rgb[::-1])[::-1]  # rows stored bottom first
    assert bottom_up.strides[0] < 0
    rgba = np.dstack([rgb, np.zeros(rgb.shape[:2], np.uint8)])
    views = {
        "padded rows": padded[:, :w], "bottom up": bottom_up,
        "column major": np.asfortranarray(rgb), "channels of RGBA": rgba[:, :, :3],
        "every pixel twice, every other taken": np.repeat(rgb, 2, axis=1)[:, ::2],
    }
    for name, view in views.items():
        assert zephbarcode.read(view) == expected, name
    # Transparent everywhere: black.
    assert zephbarcode.read(rgba) == []


def test_paths(expected):
    assert zephbarcode.read(str(EAN)) == zephbarcode.read(EAN)
    assert [b.text for b in zephbarcode.read(EAN)] == [b.text for b in expected]


def test_options(rgb, expected):
    assert zephbarcode.read(rgb, symbologies=Symbology.CODE128 | Symbology.CODE39) == []
    assert zephbarcode.read(rgb, symbologies=Symbology.EAN13) == expected
    assert zephbarcode.read(rgb, symbologies=1 | 16) == expected
    assert zephbarcode.read(rgb, threads=4) == expected
    found = zephbarcode.read(rgb, extended=False)
    assert found == expected
    assert zephbarcode.read(rgb, extended=False, min_confidence=min(1.0, found[0].confidence + 0.01)) == []
    standard = zephbarcode.read(rgb, thorough=False, extended=False)
    assert [b.text for b in standard] == [b.text for b in expected]
    # A faint copy (contrast 20 of 255) is found only with a low threshold.
    faint = (150 + rgb.astype(np.uint16) * 20 // 255).astype(np.uint8)
    assert zephbarcode.read(faint, extended=False) == []
    assert [b.text for b in zephbarcode.read(faint, extended=False, contrast=0.01)] == [
        "(590) 123412345"]


def test_databar_is_read_by_default_with_the_extended_search():
    assert Symbology.default() == (Symbology(959) | Symbology.DATABAR | Symbology.DATABAR_LIMITED
                                   | Symbology.DATABAR_EXPANDED)
    assert Symbology.ADD_ON not in Symbology.default()
    picture = SAMPLES / "databar-expanded.png"
    found = zephbarcode.read(picture)
    assert [(b.symbology, b.type) for b in found] == [("GS1 DataBar", "GS1 DataBar Expanded")]
    assert found[0].raw_text == "\u00ff0198898765432106320201234515991231"
    assert zephbarcode.read(picture, extended=False) == []
    assert zephbarcode.read(picture, symbologies=Symbology.DATABAR) == []
    assert zephbarcode.read(picture, symbologies=Symbology.DATABAR_EXPANDED) == found


def test_barcode_objects(expected):
    b = expected[0]
    assert b.raw_text == "5901234123457" and b.raw_bytes == b"5901234123457"
    assert b.symbology == "EAN-13" and b.descriptor == "Product Identifier - Poland"
    assert isinstance(b.start, tuple) and len(b.stop) == 2
    assert "EAN-13" in repr(b) and "(590) 123412345" in repr(b)
    assert b == zephbarcode.read(EAN)[0] and hash(b) == hash(zephbarcode.read(EAN)[0])
    assert b != zephbarcode.read(SAMPLES / "ean8.gif")[0]


def test_errors(rgb, tmp_path):
    with pytest.raises(OSError, match="nowhere.png"):
        zephbarcode.read(tmp_path / "nowhere.png")
    with pytest.raises(OSError, match="directory"):
        zephbarcode.read(tmp_path)
    with pytest.raises(ValueError, match="unknown image format"):
        zephbarcode.read(b"not a picture")
    with pytest.raises(ValueError, match="too large"):
        zephbarcode.read(b"P5 60000 60000 255\n\x01")
    truncated = io.BytesIO()
    PIL.Image.fromarray(rgb).save(truncated, "PNG")
    with pytest.raises(ValueError):
        zephbarcode.read(truncated.getvalue()[:200])
    for bad, error in [(123, TypeError), (None, TypeError), (rgb.astype(float), TypeError),
                       (rgb[:, :, :2], ValueError), (rgb[:0], ValueError),
                       (np.zeros((2, 2, 2, 2), np.uint8), ValueError)]:
        with pytest.raises(error):
            zephbarcode.read(bad)
    for options, error in [({"min_confidence": 1.5}, ValueError),
                           ({"min_confidence": math.nan}, ValueError),
                           ({"min_confidence": "high"}, TypeError),
                           ({"contrast": -0.1}, ValueError), ({"threads": 0}, ValueError),
                           ({"threads": 65}, ValueError), ({"threads": 2.0}, TypeError),
                           ({"thorough": 1}, TypeError), ({"symbologies": 0}, ValueError),
                           ({"symbologies": 1 << 30}, ValueError),
                           ({"symbologies": "EAN13"}, TypeError)]:
        with pytest.raises(error):
            zephbarcode.read(rgb, **options)
    with pytest.raises(TypeError):
        zephbarcode.read(rgb, 0.5)  # options are keywords only


def test_threads_read_in_parallel():
    pictures = sorted(SAMPLES.iterdir())
    alone = [zephbarcode.read(p) for p in pictures]
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        together = list(pool.map(zephbarcode.read, pictures * 3))
    assert together == alone * 3


def _same_as_zephscan(folder, pattern):
    reads = zephscan_reads(folder / pattern)
    assert reads
    for path, report in reads.items():
        assert as_report(zephbarcode.read(path)) == report, path


def test_reads_equal_zephscans_on_rendered_pictures():
    _same_as_zephscan(SAMPLES, "*")


@pytest.mark.skipif(not CORPUS.is_dir(), reason="no ../shared/corpus beside the repository")
def test_reads_equal_zephscans_on_the_corpus():
    for folder in sorted(p for p in CORPUS.iterdir() if p.is_dir()):
        _same_as_zephscan(folder, "*.png")
