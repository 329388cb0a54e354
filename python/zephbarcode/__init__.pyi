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
    @classmethod
    def default(cls) -> "Symbology": ...

class Barcode:
    @property
    def raw_text(self) -> str: ...
    @property
    def raw_bytes(self) -> bytes: ...
    @property
    def text(self) -> str: ...
    @property
    def symbology(self) -> str: ...
    @property
    def type(self) -> str: ...
    @property
    def descriptor(self) -> str: ...
    @property
    def confidence(self) -> float: ...
    @property
    def start(self) -> tuple[int, int]: ...
    @property
    def stop(self) -> tuple[int, int]: ...
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
) -> list[Barcode]: ...
