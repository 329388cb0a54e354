"""Reading many files on a Dask cluster.

    from distributed import Client
    from zephbarcode import batch

    if __name__ == "__main__":  # worker processes import this script again
        with Client() as client:
            for result in batch.read_folder(client, "/data/photos"):
                print(result.path, result.error or [b.text for b in result.barcodes])

Files are read where the workers run: every worker needs the files at the
same paths (a shared file system) and this package installed. Paths are made
absolute on the client, against its working folder. One task reads a chunk of
files; results come back in the order of the files, and a file that cannot be
read is reported with its error without losing the others.
"""

import dataclasses
import errno
import fnmatch
import inspect
import numbers
import os

from . import _options, _path, read

__all__ = ["FileResult", "read_files", "read_folder"]


@dataclasses.dataclass
class FileResult:
    """One file's barcodes, or why it gave none."""

    path: str
    barcodes: list
    error: str = None  # "FileNotFoundError: ...", None when the file was read

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


def _client_paths(paths):
    """The paths as absolute texts. One path (str, bytes or os.PathLike) is a
    list of one; bytes are a path's bytes, never image data."""
    if isinstance(paths, (str, bytes, os.PathLike)):
        paths = [paths]
    absolute = []
    for p in paths:
        if not isinstance(p, (str, bytes, os.PathLike)):
            raise TypeError(f"read_files: a path must be str, bytes or os.PathLike, "
                            f"not {type(p).__name__}")
        absolute.append(os.path.abspath(_path("read_files", p)))
    return absolute


def read_files(client, paths, *, chunk_size=16, **options):
    """Reads every file of `paths` on the cluster `client` (a
    distributed.Client); a list of FileResult in the order of `paths`.
    `paths` is an iterable of paths (str, bytes or os.PathLike), or one path;
    relative paths are taken from the client's working folder. `options` are
    those of zephbarcode.read."""
    if isinstance(chunk_size, bool) or not isinstance(chunk_size, numbers.Integral):
        raise TypeError(f"chunk_size must be an int, not {type(chunk_size).__name__}")
    if chunk_size < 1:
        raise ValueError(f"chunk_size must be at least 1, not {chunk_size}")
    # Bad options fail here, once, rather than in every file's result.
    bound = inspect.signature(read).bind(None, **options)
    bound.apply_defaults()
    _options(*list(bound.arguments.values())[1:])
    paths = _client_paths(paths)
    chunks = [paths[i:i + chunk_size] for i in range(0, len(paths), chunk_size)]
    futures = client.map(_read_chunk, chunks, options=options, pure=False)
    results = []
    for chunk, future in zip(chunks, futures):
        try:
            results.extend(future.result())
        except Exception as error:  # a lost worker: the chunk's files say so
            results.extend(FileResult(p, [], f"{type(error).__name__}: {error}") for p in chunk)
    return results


def _raise(error):
    raise error


def read_folder(client, folder, *, pattern="*", recursive=False, **options):
    """Reads every regular file of `folder` whose name matches `pattern`
    (sorted by path; dot files left out), like read_files. A folder that is
    missing, is not a folder or cannot be listed (a subfolder too, when
    recursive) raises OSError: nothing is left out without a word."""
    folder = os.path.abspath(_path("read_folder", folder))
    if not os.path.isdir(folder):
        os.stat(folder)  # FileNotFoundError, PermissionError, ...
        raise NotADirectoryError(errno.ENOTDIR, os.strerror(errno.ENOTDIR), folder)
    paths = []
    for root, dirs, files in os.walk(folder, onerror=_raise):
        dirs[:] = sorted(d for d in dirs if not d.startswith(".")) if recursive else []
        paths.extend(os.path.join(root, f) for f in files
                     if not f.startswith(".") and fnmatch.fnmatch(f, pattern)
                     and os.path.isfile(os.path.join(root, f)))
    return read_files(client, sorted(paths), **options)
