import enum
import os
from typing import Any, Union

__version__: str

class Symbology(enum.Flag):
    EAN13: int
    CODE128: int
    CODE39: int
    CODE93: int
    EAN8: int
    UPCE: int
    ADD_ON: int
    ITF: int
    CODABAR: int
    PATCH: int
    DATABAR: int
    DATABAR_LIMITED: int
    DATABAR_EXPANDED: int
    TELEPEN: int
    CODE11: int
    MSI: int
    PLESSEY: int
    INDUSTRIAL_2OF5: int
    IATA_2OF5: int
    MATRIX_2OF5: int
    DATALOGIC_2OF5: int
    PHARMACODE: int
    CODE32: int
    PZN: int
    ITF14: int
    TELEPEN_NUMERIC: int
    @classmethod
    def default(cls) -> "Symbology": ...
    @classmethod
    def all(cls) -> "Symbology": ...

class Barcode:
    raw_text: str
    raw_bytes: bytes
    text: str
    symbology: Symbology
    symbology_name: str
    type: str
    descriptor: str
    confidence: float
    start: tuple[int, int]
    stop: tuple[int, int]
    page: int
    def __init__(
        self,
        raw_text: str,
        raw_bytes: bytes,
        text: str,
        symbology: Symbology,
        symbology_name: str,
        type: str,
        descriptor: str,
        confidence: float,
        start: tuple[int, int],
        stop: tuple[int, int],
        page: int = 1,
    ) -> None: ...
    def __eq__(self, other: object) -> bool: ...
    def __hash__(self) -> int: ...

# A path, the bytes of an encoded image, a NumPy uint8 array or a Pillow image.
Image = Union[str, os.PathLike, bytes, bytearray, memoryview, Any]

def read(
    image: Image,
    *,
    symbologies: Union[Symbology, int] = ...,
    min_confidence: float = 0.81,
    contrast: float = 0.07,
    thorough: bool = True,
    extended: bool = True,
    threads: int = 1,
    all_pages: bool = False,
) -> list[Barcode]: ...
