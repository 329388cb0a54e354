"""Reading many files on a Dask cluster.

    from distributed import Client
    from zephbarcode import batch

    with Client("tcp://scheduler:8786") as client:
        for result in batch.read_folder(client, "/data/photos"):
            print(result.path, result.error or [b.text for b in result.barcodes])

Files are read where the workers run: every worker needs the files at the
same paths (a shared file system) and this package installed. One task reads
a chunk of files; results come back in the order of the files, and a file that
cannot be read is reported with its error without losing the others.
"""

import dataclasses
import inspect
import os

from . import _options, read

__all__ = ["FileResult", "read_files", "read_folder"]


@dataclasses.dataclass
class FileResult:
    """One file's barcodes, or why it gave none."""

    path: str
    barcodes: list
    error: str = None  # "ValueError: ...", None when the file was read

    @property
    def ok(self):
        return self.error is None


def _read_chunk(paths, options):
    results = []
    for path in paths:
        try:
            results.append(FileResult(path, read(path, **options)))
        except Exception as error:  # each file's own error, the others go on
            results.append(FileResult(path, [], f"{type(error).__name__}: {error}"))
    return results


def read_files(client, paths, *, chunk_size=16, **options):
    """Reads every file of `paths` on the cluster `client` (a
    distributed.Client); a list of FileResult in the order of `paths`.
    `options` are those of zephbarcode.read."""
    if chunk_size < 1:
        raise ValueError(f"chunk_size must be at least 1, not {chunk_size}")
    # Bad options fail here, once, rather than in every file's result.
    bound = inspect.signature(read).bind(None, **options)
    bound.apply_defaults()
    _options(*list(bound.arguments.values())[1:])
    paths = [os.fspath(p) for p in paths]
    chunks = [paths[i:i + chunk_size] for i in range(0, len(paths), chunk_size)]
    futures = client.map(_read_chunk, chunks, options=options, pure=False)
    results = []
    for chunk, future in zip(chunks, futures):
        try:
            results.extend(future.result())
        except Exception as error:  # a lost worker: the chunk's files say so
            results.extend(FileResult(p, [], f"{type(error).__name__}: {error}") for p in chunk)
    return results


def read_folder(client, folder, *, pattern="*", recursive=False, **options):
    """Reads every regular file of `folder` whose name matches `pattern`
    (sorted by path; dot files left out), like read_files."""
    import fnmatch

    paths = []
    for root, dirs, files in os.walk(folder):
        dirs[:] = sorted(d for d in dirs if not d.startswith(".")) if recursive else []
        paths.extend(os.path.join(root, f) for f in files
                     if not f.startswith(".") and fnmatch.fnmatch(f, pattern)
                     and os.path.isfile(os.path.join(root, f)))
    return read_files(client, sorted(paths), **options)
