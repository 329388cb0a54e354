"""zephbarcode.batch on a local cluster of two worker processes: results in
file order, equal to ZephScan's, and a bad file reported without losing the
others."""

import pathlib
import pickle
import shutil

import pytest

distributed = pytest.importorskip("distributed")

from zephbarcode import batch
from conftest import SAMPLES, as_report, zephscan_reads


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            yield client


def test_folder_on_two_workers_equals_zephscan(client, tmp_path):
    for picture in SAMPLES.iterdir():
        shutil.copy(picture, tmp_path)
    (tmp_path / "broken.png").write_bytes(b"\x89PNG\r\n\x1a\nnot really")
    (tmp_path / ".hidden.png").write_bytes(b"skipped")
    results = batch.read_folder(client, tmp_path, chunk_size=2)
    reads = zephscan_reads(tmp_path / "*")
    assert [r.path for r in results] == sorted(reads)  # every file, in order
    for result in results:
        if result.path.endswith("broken.png"):
            assert not result.ok and result.error.startswith("ValueError")
            assert reads[result.path] == []  # ZephScan: failed open
        else:
            assert result.ok, result.error
            assert as_report(result.barcodes) == reads[result.path], result.path


def test_files_keep_their_order_and_bad_options_fail_early(client, tmp_path):
    paths = [SAMPLES / "upca.bmp", tmp_path / "missing.jpg", SAMPLES / "ean8.gif"]
    results = batch.read_files(client, paths, chunk_size=1, extended=False)
    assert [r.path for r in results] == [str(p) for p in paths]
    assert results[1].error.startswith("FileNotFoundError")
    assert [b.type for b in results[0].barcodes] == ["UPC-A"]
    assert [b.text for b in results[2].barcodes] == ["96385074"]
    with pytest.raises(ValueError):
        batch.read_files(client, paths, threads=0)
    with pytest.raises(TypeError):
        batch.read_files(client, paths, colour="red")


def test_folders_that_are_missing_or_files_raise(client, tmp_path):
    with pytest.raises(FileNotFoundError):
        batch.read_folder(client, tmp_path / "missing")
    picture = tmp_path / "picture.jpg"
    shutil.copy(SAMPLES / "ean13.jpg", picture)
    with pytest.raises(NotADirectoryError):
        batch.read_folder(client, picture)
    with pytest.raises(ValueError, match="^read_folder: .*NUL"):
        batch.read_folder(client, str(tmp_path) + "\0")
    # An empty folder is no error: nothing to read.
    (tmp_path / "empty").mkdir()
    assert batch.read_folder(client, tmp_path / "empty") == []


def test_paths_are_resolved_on_the_client_and_one_path_is_one_file(client, tmp_path,
                                                                   monkeypatch):
    shutil.copy(SAMPLES / "ean8.gif", tmp_path / "label.gif")
    # The workers started in another folder; the names are the client's.
    monkeypatch.chdir(tmp_path)
    for paths in (["label.gif"], "label.gif", b"label.gif", [b"label.gif"],
                  pathlib.Path("label.gif")):
        results = batch.read_files(client, paths)
        assert [r.path for r in results] == [str(tmp_path / "label.gif")], paths
        assert [b.text for b in results[0].barcodes] == ["96385074"], paths
    assert [r.path for r in batch.read_folder(client, ".")] == [str(tmp_path / "label.gif")]
    with pytest.raises(ValueError, match="^read_files: .*NUL"):
        batch.read_files(client, ["label.gif\0"])
    with pytest.raises(TypeError):
        batch.read_files(client, [123])


@pytest.mark.parametrize("protocol", range(pickle.HIGHEST_PROTOCOL + 1))
def test_results_pickle_at_every_protocol(client, protocol):
    results = batch.read_files(client, sorted(SAMPLES.iterdir()), chunk_size=3)
    assert sum(len(r.barcodes) for r in results) >= 6
    assert pickle.loads(pickle.dumps(results, protocol)) == results


def test_pages_travel_with_the_results(client, tmp_path):
    import PIL.Image
    pictures = [PIL.Image.open(SAMPLES / name).convert("RGB")
                for name in ("ean13.jpg", "code128.png")]
    document = tmp_path / "two.tif"
    pictures[0].save(document, save_all=True, append_images=pictures[1:])
    [result] = batch.read_files(client, [document], all_pages=True)
    assert result.ok, result.error
    assert sorted(b.page for b in result.barcodes) == [1, 2]
