import os
from typing import Any, Iterable, Optional, Union

from . import Barcode

class FileResult:
    path: str
    barcodes: list[Barcode]
    error: Optional[str]
    @property
    def ok(self) -> bool: ...

def read_files(
    client: Any, paths: Iterable[Union[str, os.PathLike]], *, chunk_size: int = 16, **options: Any
) -> list[FileResult]: ...
def read_folder(
    client: Any, folder: Union[str, os.PathLike], *, pattern: str = "*", recursive: bool = False,
    **options: Any
) -> list[FileResult]: ...
