"""Reads one-dimensional barcodes in pictures.

    import zephbarcode
    for barcode in zephbarcode.read("label.jpg"):
        print(barcode.symbology_name, barcode.text)

``read`` takes a file path (``str`` or ``os.PathLike``), the ``bytes`` of an
encoded image (JPEG, PNG, GIF, TIFF, WebP, BMP, PNM or TGA), a NumPy array of
uint8 pixels (H x W grey, H x W x 3 RGB or H x W x 4 RGBA, any strides) or a
Pillow image, and returns a list of :class:`Barcode`. The reading runs without
the interpreter lock: threads of one process read in parallel.
"""

import errno
import numbers
import os
import stat
import sys

from . import _images, _zephbarcode
from ._barcode import Barcode, from_library
from ._symbology import Symbology

__version__ = _zephbarcode.__version__
__all__ = ["Barcode", "Symbology", "read", "__version__"]


def _number(name, value, low, high):
    # NumPy's scalars are numbers.Real too; bool is not a number here.
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a number, not {type(value).__name__}")
    value = float(value)
    if not low <= value <= high:  # NaN fails too
        raise ValueError(f"{name} must lie in [{low}, {high}], not {value!r}")
    return value


def _integer(name, value):
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be an int, not {type(value).__name__}")
    return int(value)


def _options(symbologies, min_confidence, contrast, thorough, extended, threads, all_pages):
    if isinstance(symbologies, Symbology):
        mask = symbologies.value
    elif isinstance(symbologies, numbers.Integral) and not isinstance(symbologies, bool):
        mask = int(symbologies)
    else:
        raise TypeError(
            f"symbologies must be a Symbology or an int mask, not {type(symbologies).__name__}")
    every = _zephbarcode.ALL_MASK
    if mask <= 0 or mask & ~every:
        raise ValueError(f"symbologies: {mask} is not a mask of known symbologies (1 to {every})")
    for name, flag in (("thorough", thorough), ("extended", extended), ("all_pages", all_pages)):
        if not isinstance(flag, bool):
            raise TypeError(f"{name} must be True or False, not {type(flag).__name__}")
    threads = _integer("threads", threads)
    if not 1 <= threads <= 64:
        raise ValueError(f"threads must lie in [1, 64], not {threads}")
    return (mask, _number("min_confidence", min_confidence, 0.0, 1.0),
            _number("contrast", contrast, 0.0, 1.0), thorough, extended, threads, all_pages)


def _path(function, image):
    """The path as text, refused when it holds a NUL (the system would read a
    shorter name: another file)."""
    path = os.fsdecode(image)
    if "\0" in path:
        raise ValueError(f"{function}: the path {path!r} holds a NUL character")
    return path


def _unreadable(path, reason):
    """The OSError of a file the library could not read, with errno and
    filename: the system's own error for it when it has one."""
    try:
        descriptor = os.open(path, os.O_RDONLY | os.O_NONBLOCK | os.O_CLOEXEC | os.O_NOCTTY)
    except OSError as error:  # FileNotFoundError, PermissionError, ...
        return error
    try:
        status = os.fstat(descriptor)
    finally:
        os.close(descriptor)
    if stat.S_ISDIR(status.st_mode):
        return IsADirectoryError(errno.EISDIR, os.strerror(errno.EISDIR), path)
    code = errno.EFBIG if stat.S_ISREG(status.st_mode) else errno.EINVAL
    return OSError(code, reason, path)


def read(image, *, symbologies=Symbology.default(), min_confidence=0.81, contrast=0.07,
         thorough=True, extended=True, threads=1, all_pages=False):
    """The barcodes in a picture, as a list of :class:`Barcode`.

    image: a path (str or os.PathLike), the bytes of an encoded image, a NumPy
        uint8 array (H x W grey, H x W x 3 RGB, H x W x 4 RGBA; transparency on
        black) or a Pillow image (16-bit and float modes over their full range).
    symbologies: a :class:`Symbology` flag, or an int mask of its values.
    min_confidence: reads below this (0 to 1) are left out.
    contrast: the contrast a region must show to be searched (0 to 1).
    thorough: read every likely place, not only the most likely one.
    extended: add the further passes for small, faint, tilted or cut-off symbols.
    threads: threads the search of a picture of 6 megapixels or more is spread
        over (1 to 64; smaller pictures are searched on the calling thread).
    all_pages: read every page of a multi-page TIFF and every frame of a GIF or
        animated WebP (a file or encoded bytes), not only the first; each
        Barcode's page says where it was read.

    Raises TypeError for an image or option of the wrong type, ValueError for
    an option out of range, a path holding a NUL or a picture that cannot be
    decoded (unknown format, damaged, too large), OSError (FileNotFoundError,
    PermissionError, IsADirectoryError, ...) for a file that cannot be read.
    """
    options = _options(symbologies, min_confidence, contrast, thorough, extended, threads,
                       all_pages)
    if isinstance(image, (str, os.PathLike)):
        path = _path("read", image)
        try:
            found = _zephbarcode.read_file(path, *options)
        except _zephbarcode.UnreadableFile as error:
            raise _unreadable(path, str(error)) from None
    elif isinstance(image, (bytes, bytearray, memoryview)):
        if isinstance(image, memoryview) and not (image.c_contiguous and image.itemsize == 1):
            image = image.tobytes()
        found = _zephbarcode.read_encoded(image, *options)
    else:
        found = _read_pixels(image, options)
    return [from_library(b) for b in found]


def _read_pixels(image, options):
    # A caller with such an image has imported its module already.
    pil = sys.modules.get("PIL.Image")
    if pil is not None and isinstance(image, pil.Image):
        image = _images.pillow(image)
    numpy = sys.modules.get("numpy")
    if numpy is not None and isinstance(image, numpy.ndarray):
        pixels, channels = _images.pixels(image)
        return _zephbarcode.read_pixels(pixels, channels, *options)
    raise TypeError(
        "image must be a path, bytes of an encoded image, a NumPy array or a Pillow image, "
        f"not {type(image).__name__}")
