import os
from typing import Any, Iterable, Optional, Union

from . import Barcode

Path = Union[str, bytes, os.PathLike]

class FileResult:
    path: str
    barcodes: list[Barcode]
    error: Optional[str]
    def __init__(self, path: str, barcodes: list[Barcode], error: Optional[str] = None) -> None: ...
    @property
    def ok(self) -> bool: ...

def read_files(
    client: Any, paths: Union[Path, Iterable[Path]], *, chunk_size: int = 16, **options: Any
) -> list[FileResult]: ...
def read_folder(
    client: Any, folder: Path, *, pattern: str = "*", recursive: bool = False, **options: Any
) -> list[FileResult]: ...
