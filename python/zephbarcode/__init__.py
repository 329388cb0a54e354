"""Reads one-dimensional barcodes in pictures.

    import zephbarcode
    for barcode in zephbarcode.read("label.jpg"):
        print(barcode.symbology, barcode.text)

``read`` takes a file path (``str`` or ``os.PathLike``), the ``bytes`` of an
encoded image (JPEG, PNG, GIF, TIFF, WebP, BMP, PNM or TGA), a NumPy array of
uint8 pixels (H x W grey, H x W x 3 RGB or H x W x 4 RGBA, any strides) or a
Pillow image, and returns a list of :class:`Barcode`. The reading runs without
the interpreter lock: threads of one process read in parallel.
"""

import enum
import os
import sys

from ._zephbarcode import Barcode, __version__
from . import _zephbarcode

__all__ = ["Barcode", "Symbology", "read", "__version__"]


class Symbology(enum.Flag):
    """The symbologies, with the values of ZephScan's ``-bctypes`` mask."""

    EAN13 = 1  # EAN-13 and UPC-A, with their add-ons
    CODE128 = 2  # GS1-128 included
    CODE39 = 4
    CODE93 = 8
    EAN8 = 16
    UPCE = 32
    ADD_ON = 64  # 2- or 5-digit add-ons on their own
    ITF = 128  # Interleaved 2 of 5
    CODABAR = 256
    PATCH = 512
    # Read by the extended search only (extended=True).
    DATABAR = 1024  # GS1 DataBar Omnidirectional, Truncated, Stacked, Stacked Omnidirectional
    DATABAR_LIMITED = 2048
    DATABAR_EXPANDED = 4096  # and Expanded Stacked

    @classmethod
    def default(cls):
        """Every symbology but add-ons on their own, GS1 DataBar included: ZephScan's default."""
        return cls(_DEFAULT_MASK)


# The reader's own 959 and the symbologies only the extended search reads.
_DEFAULT_MASK = 959 | 1024 | 2048 | 4096
# Every symbology, add-ons on their own included.
_ALL_MASK = _DEFAULT_MASK | 64




def _number(name, value, low, high):
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise TypeError(f"{name} must be a number, not {type(value).__name__}")
    if not low <= value <= high:  # NaN fails too
        raise ValueError(f"{name} must lie in [{low}, {high}], not {value!r}")
    return float(value)


def _options(symbologies, min_confidence, contrast, thorough, extended, threads):
    if isinstance(symbologies, Symbology):
        mask = symbologies.value
    elif isinstance(symbologies, int) and not isinstance(symbologies, bool):
        mask = symbologies
    else:
        raise TypeError(
            f"symbologies must be a Symbology or an int mask, not {type(symbologies).__name__}")
    if mask <= 0 or mask & ~_ALL_MASK:
        raise ValueError(
            f"symbologies: {mask} is not a mask of known symbologies (1 to {_ALL_MASK})")
    for name, flag in (("thorough", thorough), ("extended", extended)):
        if not isinstance(flag, bool):
            raise TypeError(f"{name} must be True or False, not {type(flag).__name__}")
    if isinstance(threads, bool) or not isinstance(threads, int):
        raise TypeError(f"threads must be an int, not {type(threads).__name__}")
    if not 1 <= threads <= 64:
        raise ValueError(f"threads must lie in [1, 64], not {threads}")
    return (mask, _number("min_confidence", min_confidence, 0.0, 1.0),
            _number("contrast", contrast, 0.0, 1.0), thorough, extended, threads)


def _pixels(array):
    """The array as rows of packed pixels the library reads, and its channels."""
    import numpy as np

    if array.dtype != np.uint8:
        raise TypeError(f"pixel arrays must be uint8, not {array.dtype}")
    if array.ndim == 2:
        channels = 1
    elif array.ndim == 3 and array.shape[2] in (3, 4):
        channels = array.shape[2]
    else:
        raise ValueError(
            f"pixel arrays must be H x W, H x W x 3 or H x W x 4, not {'x'.join(map(str, array.shape))}")
    if array.shape[0] == 0 or array.shape[1] == 0:
        raise ValueError("the picture has no pixels")
    # Rows may lie anywhere; within a row, pixels and samples must be packed.
    if array.strides[1] != channels or (channels > 1 and array.strides[2] != 1):
        array = np.ascontiguousarray(array)
    return array, channels


def _pillow(image):
    import numpy as np

    if image.mode in ("L", "RGB", "RGBA"):
        rgb = image
    elif image.mode in ("LA", "PA") or "transparency" in image.info:
        rgb = image.convert("RGBA")
    elif image.mode in ("1", "I", "I;16", "F"):
        rgb = image.convert("L")
    else:
        rgb = image.convert("RGB")
    return np.asarray(rgb)


def read(image, *, symbologies=Symbology.default(), min_confidence=0.81, contrast=0.07,
         thorough=True, extended=True, threads=1):
    """The barcodes in a picture, as a list of :class:`Barcode`.

    image: a path (str or os.PathLike), the bytes of an encoded image, a NumPy
        uint8 array (H x W grey, H x W x 3 RGB, H x W x 4 RGBA; transparency on
        black) or a Pillow image.
    symbologies: a :class:`Symbology` flag, or an int mask of its values.
    min_confidence: reads below this (0 to 1) are left out.
    contrast: the contrast a region must show to be searched (0 to 1).
    thorough: read every likely place, not only the most likely one.
    extended: add the further passes for small, faint, tilted or cut-off symbols.
    threads: threads one picture's search is spread over (1 to 64).

    Raises TypeError for an image or option of the wrong type, ValueError for
    an option out of range or a picture that cannot be decoded (unknown
    format, damaged, too large), OSError for a file that cannot be read.
    """
    options = _options(symbologies, min_confidence, contrast, thorough, extended, threads)
    if isinstance(image, (str, os.PathLike)):
        return _zephbarcode.read_file(os.fspath(image), *options)
    if isinstance(image, (bytes, bytearray, memoryview)):
        return _zephbarcode.read_encoded(bytes(image) if isinstance(image, memoryview) else image,
                                         *options)
    # A caller with such an image has imported its module already.
    pil = sys.modules.get("PIL.Image")
    if pil is not None and isinstance(image, pil.Image):
        image = _pillow(image)
    numpy = sys.modules.get("numpy")
    if numpy is not None and isinstance(image, numpy.ndarray):
        pixels, channels = _pixels(image)
        return _zephbarcode.read_pixels(pixels, channels, *options)
    raise TypeError(
        "image must be a path, bytes of an encoded image, a NumPy array or a Pillow image, "
        f"not {type(image).__name__}")
