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
    assert Symbology.DATABAR | Symbology.DATABAR_LIMITED | Symbology.DATABAR_EXPANDED in (
        Symbology.default())
    assert Symbology.ADD_ON not in Symbology.default()
    picture = SAMPLES / "databar-expanded.png"
    found = zephbarcode.read(picture)
    assert [(b.symbology, b.symbology_name, b.type) for b in found] == [
        (Symbology.DATABAR_EXPANDED, "GS1 DataBar", "GS1 DataBar Expanded")]
    assert found[0].raw_text == "\u00ff0198898765432106320201234515991231"
    assert zephbarcode.read(picture, extended=False) == []
    assert zephbarcode.read(picture, symbologies=Symbology.DATABAR) == []
    assert zephbarcode.read(picture, symbologies=Symbology.DATABAR_EXPANDED) == found


def test_further_symbologies():
    assert Symbology.default().value == (959 + 1024 + 2048 + 4096 + 8192 + 4194304 + 8388608
                                         + 16777216)
    assert Symbology.TELEPEN in Symbology.default()
    assert Symbology.CODE11 not in Symbology.default()
    assert Symbology.PHARMACODE in Symbology.all()
    telepen = SAMPLES / "telepen.png"
    assert [(b.symbology, b.symbology_name, b.text) for b in zephbarcode.read(telepen)] == [
        (Symbology.TELEPEN, "TELEPEN", "LIB 0042")]
    assert zephbarcode.read(telepen, extended=False) == []
    assert zephbarcode.read(telepen, symbologies=Symbology.default() & ~Symbology.TELEPEN) == []
    # A picture without them reads what it did.
    ean = zephbarcode.read(EAN)
    assert zephbarcode.read(EAN, symbologies=Symbology.all()) == ean


def test_barcode_objects(expected):
    b = expected[0]
    assert b.raw_text == "5901234123457" and b.raw_bytes == b"5901234123457"
    assert b.symbology == Symbology.EAN13 and b.symbology_name == "EAN-13"
    assert b.descriptor == "Product Identifier - Poland"
    assert isinstance(b.start, tuple) and len(b.stop) == 2
    assert "Symbology.EAN13" in repr(b) and "(590) 123412345" in repr(b)
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
                           ({"symbologies": 1 << 26}, ValueError),
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


def test_numpy_scalars_are_option_values(rgb, expected):
    assert zephbarcode.read(rgb, min_confidence=np.float32(0.81), contrast=np.float64(0.07),
                            threads=np.int64(2), symbologies=np.int32(1)) == expected
    assert zephbarcode.read(rgb, min_confidence=np.float16(0.5), threads=np.uint8(1)) == expected
    for options, error in [({"min_confidence": np.float32(1.5)}, ValueError),
                           ({"min_confidence": np.float32("nan")}, ValueError),
                           ({"threads": np.int64(0)}, ValueError),
                           ({"threads": np.float32(2)}, TypeError),
                           ({"min_confidence": np.bool_(True)}, TypeError),
                           ({"threads": np.bool_(True)}, TypeError),
                           ({"symbologies": np.int64(2**40)}, ValueError)]:
        with pytest.raises(error):
            zephbarcode.read(rgb, **options)


def test_unreadable_files_raise_the_systems_error_with_errno_and_filename(tmp_path):
    import errno
    import os

    missing = tmp_path / "nowhere.png"
    with pytest.raises(FileNotFoundError) as raised:
        zephbarcode.read(missing)
    assert raised.value.errno == errno.ENOENT and raised.value.filename == str(missing)
    with pytest.raises(IsADirectoryError) as raised:
        zephbarcode.read(tmp_path)
    assert raised.value.errno == errno.EISDIR and raised.value.filename == str(tmp_path)
    fifo = tmp_path / "pipe.png"
    os.mkfifo(fifo)
    with pytest.raises(OSError, match="not a regular file") as raised:
        zephbarcode.read(fifo)
    assert raised.value.errno == errno.EINVAL and raised.value.filename == str(fifo)
    if os.geteuid() != 0:  # root reads any file
        locked = tmp_path / "locked.png"
        locked.write_bytes(EAN.read_bytes())
        locked.chmod(0)
        with pytest.raises(PermissionError):
            zephbarcode.read(locked)


def test_a_nul_in_a_path_is_a_value_error_naming_the_function(tmp_path):
    # The name up to the NUL is a readable picture: it must not be read instead.
    picture = tmp_path / "picture.jpg"
    picture.write_bytes(EAN.read_bytes())
    for path in (str(picture) + "\0.png", pathlib.Path(str(picture) + "\0x")):
        with pytest.raises(ValueError, match="^read: .*NUL"):
            zephbarcode.read(path)


def test_every_page_of_a_file_when_asked(tmp_path):
    pictures = [PIL.Image.open(SAMPLES / name).convert("RGB")
                for name in ("ean13.jpg", "code128.png", "ean8.gif")]
    document = tmp_path / "three.tif"
    pictures[0].save(document, save_all=True, append_images=pictures[1:])
    first = zephbarcode.read(document)
    assert {b.page for b in first} == {1}
    every = zephbarcode.read(document, all_pages=True)
    assert sorted({b.page for b in every}) == [1, 2, 3]
    by_page = {page: [b.symbology for b in every if b.page == page] for page in (1, 2, 3)}
    assert by_page == {1: [Symbology.EAN13], 2: [Symbology.CODE128], 3: [Symbology.EAN8]}
    # The pages of encoded bytes too; a pixel array is one page.
    assert zephbarcode.read(document.read_bytes(), all_pages=True) == every
    with pytest.raises(TypeError):
        zephbarcode.read(document, all_pages=1)
