"""Pictures in every form: Pillow's 16-bit and float modes over their full
range, arrays too large for the library refused before any copy, broadcast
arrays, and the memory a very large read leaves behind."""

import numpy as np
import PIL.Image
import pytest

import zephbarcode
from conftest import SAMPLES


@pytest.fixture(scope="module")
def grey16():
    """The EAN-13 sample as 16-bit grey whose darkest bar is above 255: an
    8-bit conversion that clips sees a white picture."""
    grey = np.asarray(PIL.Image.open(SAMPLES / "ean13.jpg").convert("L")).astype(np.uint32)
    return (4000 + grey * 240).astype(np.uint16)


@pytest.fixture(scope="module")
def files(grey16, tmp_path_factory):
    folder = tmp_path_factory.mktemp("sixteen")
    paths = {"png": folder / "grey16.png", "tiff": folder / "grey16.tif"}
    for path in paths.values():
        PIL.Image.fromarray(grey16).save(path)  # mode I;16: 16-bit samples on file
    return paths


def test_16_bit_files_read_by_pillow_as_by_path(files):
    for kind, mode in (("png", "I"), ("tiff", "I;16")):
        by_path = zephbarcode.read(files[kind])
        assert [b.text for b in by_path] == ["(590) 123412345"], kind
        image = PIL.Image.open(files[kind])
        assert image.mode == mode  # how Pillow opens such files
        assert zephbarcode.read(image) == by_path, kind
        # What read nothing before: every sample clipped to white.
        assert zephbarcode.read(image.convert("L")) == [], kind


def test_big_endian_and_float_modes_over_their_full_range(grey16, files):
    by_tiff = zephbarcode.read(files["tiff"])
    big = PIL.Image.frombytes("I;16B", grey16.shape[::-1], grey16.astype(">u2").tobytes())
    assert big.mode == "I;16B"
    assert zephbarcode.read(big) == by_tiff

    by_png = zephbarcode.read(files["png"])
    for scale in (1 / 65535, 1.0):  # samples of 0 to 1, or of the 16-bit range
        floats = PIL.Image.fromarray((grey16 * scale).astype(np.float32), "F")
        assert floats.mode == "F"
        assert zephbarcode.read(floats) == by_png, scale
    # Not-a-number is black, not a failure.
    spoilt = (grey16 / 65535).astype(np.float32)
    spoilt[:3, :3] = np.nan
    assert [b.text for b in zephbarcode.read(PIL.Image.fromarray(spoilt, "F"))] == [
        "(590) 123412345"]


def test_arrays_with_a_side_of_2_to_the_31_are_refused_before_any_copy():
    # Strides of 0 over one byte: nothing of the claimed size exists, so a
    # copy or a read of it would fail loudly.
    one = np.zeros(1, np.uint8)
    for shape in ((1, 2**32 + 5), (2**32 + 5, 1), (2**31, 1), (1, 2**31, 3)):
        huge = np.lib.stride_tricks.as_strided(one, shape=shape, strides=(0,) * len(shape))
        with pytest.raises(ValueError, match="too large"):
            zephbarcode.read(huge)
    # The library's own check, for a caller of the binding.
    packed = np.lib.stride_tricks.as_strided(one, shape=(1, 2**32 + 5), strides=(0, 1))
    with pytest.raises(ValueError, match="2\\^31"):
        zephbarcode._zephbarcode.read_pixels(packed, 1, 1, 0.81, 0.07, True, True, 1, False)
    # Below 2^31 a side, over the pixel cap: refused as too large too.
    wide = np.lib.stride_tricks.as_strided(one, shape=(2, 2**28), strides=(0, 0))
    with pytest.raises(ValueError, match="too large"):
        zephbarcode.read(wide)


def test_broadcast_arrays_with_a_stride_of_zero():
    rgb = np.asarray(PIL.Image.open(SAMPLES / "ean13.jpg").convert("RGB"))
    row = rgb[rgb.shape[0] // 2]  # a line across the bars
    tall = np.broadcast_to(row, (200,) + row.shape)
    assert tall.strides[0] == 0
    expected = zephbarcode.read(np.ascontiguousarray(tall))
    assert [b.text for b in expected] == ["(590) 123412345"]
    assert zephbarcode.read(tall) == expected
    assert zephbarcode.read(np.broadcast_to(row[:, 1], (200, row.shape[0]))) == zephbarcode.read(
        np.ascontiguousarray(np.broadcast_to(row[:, 1], (200, row.shape[0]))))
    # One pixel everywhere: strides of 0 within the row too.
    assert zephbarcode.read(np.broadcast_to(np.uint8([10, 20, 30]), (50, 60, 3))) == []


def _resident():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) * 1024
    pytest.skip("no VmRSS in /proc/self/status")


def test_a_very_large_read_leaves_no_gigabytes_behind():
    # 32 megapixels: the read needs its 128 MB raster and the search's buffers;
    # none of that is kept for the next call.
    picture = np.full((1, 2**25), 200, np.uint8)
    zephbarcode.read(np.full((8, 8), 200, np.uint8))  # the small picture's buffers are there
    before = _resident()
    assert zephbarcode.read(picture) == []
    assert _resident() - before < 32 * 2**20
