"""NumPy arrays and Pillow images as the rows of packed 8-bit pixels the
library reads."""

from . import _zephbarcode

_MOST_SIDE = 2**31 - 1


def check_size(height, width):
    """Refuses, before any copy, a picture the library would refuse."""
    if height == 0 or width == 0:
        raise ValueError("the picture has no pixels")
    if height > _MOST_SIDE or width > _MOST_SIDE:
        raise ValueError(f"image too large: {height} x {width} pixels (a side of 2^31 or more)")
    if height * width > _zephbarcode.MOST_PIXELS:
        raise ValueError(f"image too large: {height} x {width} pixels "
                         f"(at most {_zephbarcode.MOST_PIXELS})")


def pixels(array):
    """The array as rows of packed pixels, and its channels."""
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
    check_size(array.shape[0], array.shape[1])
    # Rows may lie anywhere apart (bottom first too); within a row, pixels and
    # samples must be packed, and rows must not overlap (a broadcast array
    # repeats one row with a stride of 0).
    packed = array.strides[1] == channels and (channels == 1 or array.strides[2] == 1)
    if not packed or abs(array.strides[0]) < array.shape[1] * channels:
        array = np.ascontiguousarray(array)
    return array, channels


def _sixteen_bit(samples, high_byte):
    """16-bit grey samples (any integer type, clipped to 0..65535) to 8 bits:
    by their high byte, as TIFF files are read, or rounded, as PNG files are."""
    import numpy as np

    wide = np.clip(samples, 0, 65535).astype(np.uint32)
    eight = wide >> 8 if high_byte else (wide * 255 + 32767) // 65535
    return eight.astype(np.uint8)


def _floats(samples):
    """Float grey samples to 8 bits over the range their values suggest:
    0 to 1 when none is above 1, else 0 to 255 when none is above 255, else
    0 to 65535. Not-a-number is black."""
    import numpy as np

    values = np.nan_to_num(np.asarray(samples, np.float64), nan=0.0, posinf=0.0, neginf=0.0)
    top = float(values.max(initial=0.0))
    full = 1.0 if top <= 1.0 else 255.0 if top <= 255.0 else 65535.0
    return np.clip(np.rint(values * (255.0 / full)), 0, 255).astype(np.uint8)


def pillow(image):
    """A Pillow image as a uint8 array the library reads, over the full range
    of its samples."""
    import numpy as np

    check_size(image.height, image.width)
    mode = image.mode
    if mode in ("L", "RGB", "RGBA"):
        return np.asarray(image)
    if mode.startswith("I;16"):  # how Pillow opens 16-bit TIFF
        return _sixteen_bit(np.asarray(image), high_byte=True)
    if mode == "I":  # how Pillow opens 16-bit PNG; 32-bit integers taken as 16-bit samples
        return _sixteen_bit(np.asarray(image), high_byte=False)
    if mode == "F":
        return _floats(np.asarray(image))
    if mode in ("LA", "PA", "La", "RGBa") or "transparency" in image.info:
        return np.asarray(image.convert("RGBA"))
    if mode == "1":
        return np.asarray(image.convert("L"))
    return np.asarray(image.convert("RGB"))
