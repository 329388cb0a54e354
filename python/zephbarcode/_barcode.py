"""One barcode read in a picture."""

import dataclasses

from ._symbology import Symbology, symbology_of


@dataclasses.dataclass(frozen=True)
class Barcode:
    """One barcode read in a picture. Equal when every field is; hashable and
    picklable (at every protocol), so results travel between processes."""

    raw_text: str  # the symbol's characters as read, check and function characters included
    raw_bytes: bytes  # the raw text as the reader gives it: Windows-1252, as ZephScan prints it
    text: str  # the data for people: GS1 fields, prices and the like spelled out
    symbology: Symbology  # Symbology.EAN13, ...; Symbology(0) for one this package does not know
    symbology_name: str  # as ZephScan reports it: "EAN-13", "CODE-128", "EAN-13 + UPC Supplemental"
    type: str  # the more specific type: "UPC-A", "UCC/EAN-128", ...
    descriptor: str  # what the data means: "Product Identifier - Germany", ...
    confidence: float  # 0 to 1
    start: tuple  # (x, y) of the read line's start, in pixels from the top left corner
    stop: tuple  # (x, y) of the read line's end
    page: int = 1  # the page or frame of the file it was read on, from 1

    def __repr__(self):
        return (f"Barcode(symbology={self.symbology!s}, text={self.text!r}, "
                f"raw_text={self.raw_text!r}, confidence={self.confidence:.3f}, "
                f"start={self.start}, stop={self.stop}, page={self.page})")


Barcode.__module__ = "zephbarcode"  # pickles name the public class


def from_library(read):
    """A Barcode of one read as the library gives it."""
    raw_text, raw_bytes, text, name, kind, descriptor, confidence, start, stop, page = read
    return Barcode(raw_text, raw_bytes, text, symbology_of(name, kind), name, kind, descriptor,
                   confidence, start, stop, page)
