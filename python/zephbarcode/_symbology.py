"""The symbologies: a flag with the reader's mask values, and the names the
reader gives its reads."""

import enum
import functools
import operator

from . import _zephbarcode


class Symbology(enum.Flag):
    """The symbologies, with the values of ZephScan's ``-bctypes`` mask.

    A new symbology adds its member here and its read name to ``_READ_AS``.
    """

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

    @classmethod
    def default(cls):
        """The library's default set (ZephScan's default ``-bctypes``)."""
        return cls(_zephbarcode.DEFAULT_MASK)

    @classmethod
    def all(cls):
        """Every symbology the library reads."""
        return cls(_zephbarcode.ALL_MASK)


# The name each symbology's reads carry (an add-on read with its main symbol
# appends " + " and the add-on's name).
_READ_AS = {
    "EAN-13": Symbology.EAN13,
    "CODE-128": Symbology.CODE128,
    "CODE-39": Symbology.CODE39,
    "CODE-93": Symbology.CODE93,
    "EAN-8": Symbology.EAN8,
    "UPC-E": Symbology.UPCE,
    "UPC Supplemental": Symbology.ADD_ON,
    "Interleaved 2 of 5": Symbology.ITF,
    "CODABAR": Symbology.CODABAR,
    "Patch Code": Symbology.PATCH,
}


def symbology_of(name):
    """The member a read's symbology name stands for; Symbology(0) for a name
    this package does not know."""
    return _READ_AS.get(name.split(" + ", 1)[0], Symbology(0))


def every_member():
    """The union of the members: the mask this package can name."""
    return functools.reduce(operator.or_, Symbology, Symbology(0))
