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
    # Read by the extended search alone (extended=True):
    DATABAR = 1024  # GS1 DataBar Omnidirectional, Truncated, Stacked, Stacked Omnidirectional
    DATABAR_LIMITED = 2048
    DATABAR_EXPANDED = 4096  # and Expanded Stacked
    TELEPEN = 8192  # ASCII and numeric
    CODE11 = 16384
    MSI = 32768  # MSI Plessey
    PLESSEY = 65536  # UK Plessey
    INDUSTRIAL_2OF5 = 131072
    IATA_2OF5 = 262144
    MATRIX_2OF5 = 524288
    DATALOGIC_2OF5 = 1048576
    PHARMACODE = 2097152  # one-track, read left to right
    # Interpretations, with their base symbology: Code 39 as the Italian
    # pharmaceutical code or the Pharmazentralnummer, Interleaved 2 of 5 as
    # ITF-14. Their reads keep the base symbology's name (and member).
    CODE32 = 4194304
    PZN = 8388608
    ITF14 = 16777216
    # Telepen symbols read as numeric labels: digit pairs from the start.
    # Their reads are TELEPEN reads.
    TELEPEN_NUMERIC = 33554432

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
    "GS1 DataBar": Symbology.DATABAR,  # Limited and Expanded told by their type
    "TELEPEN": Symbology.TELEPEN,
    "CODE-11": Symbology.CODE11,
    "MSI": Symbology.MSI,
    "PLESSEY": Symbology.PLESSEY,
    "Industrial 2 of 5": Symbology.INDUSTRIAL_2OF5,
    "IATA 2 of 5": Symbology.IATA_2OF5,
    "Matrix 2 of 5": Symbology.MATRIX_2OF5,
    "Datalogic 2 of 5": Symbology.DATALOGIC_2OF5,
    "PHARMACODE": Symbology.PHARMACODE,
}


# Members that name a reading of another symbology's symbols: their reads carry
# the base symbology's name (a Code 32 read is a CODE-39 read of type "Code 32",
# a numeric label's a TELEPEN read).
INTERPRETATIONS = Symbology.CODE32 | Symbology.PZN | Symbology.ITF14 | Symbology.TELEPEN_NUMERIC


def symbology_of(name, kind=""):
    """The member a read's symbology name (and type, for the GS1 DataBar family,
    whose reads share one name) stands for; Symbology(0) for a name this
    package does not know."""
    member = _READ_AS.get(name.split(" + ", 1)[0], Symbology(0))
    if member == Symbology.DATABAR:
        if kind.startswith("GS1 DataBar Limited"):
            return Symbology.DATABAR_LIMITED
        if kind.startswith("GS1 DataBar Expanded"):
            return Symbology.DATABAR_EXPANDED
    return member


def every_member():
    """The union of the members: the mask this package can name."""
    return functools.reduce(operator.or_, Symbology, Symbology(0))
