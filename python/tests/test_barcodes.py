"""Barcode objects: equality with anything, pickling at every protocol, the
Symbology member of each read, and the repr."""

import pickle

import pytest

import zephbarcode
from zephbarcode import Barcode, Symbology
from zephbarcode._symbology import _READ_AS, every_member
from conftest import SAMPLES


@pytest.fixture(scope="module")
def reads():
    """Every sample's reads: each symbology the samples hold, one add-on."""
    return {p.name: zephbarcode.read(p) for p in sorted(SAMPLES.iterdir())}


def test_equality_with_other_types_is_false_not_an_error(reads):
    b = reads["ean13.jpg"][0]
    assert (b == None) is False and (b != None) is True  # noqa: E711
    assert b != "EAN-13" and b != 1 and b != (b.text,)
    assert b in [1, None, b] and [1, b].index(b) == 1
    assert b == zephbarcode.read(SAMPLES / "ean13.jpg")[0]
    assert b != reads["ean8.gif"][0]
    assert len({b, zephbarcode.read(SAMPLES / "ean13.jpg")[0]}) == 1


@pytest.mark.parametrize("protocol", range(pickle.HIGHEST_PROTOCOL + 1))
def test_pickles_at_every_protocol(reads, protocol):
    every = [b for found in reads.values() for b in found]
    assert len(every) >= 6
    back = pickle.loads(pickle.dumps(every, protocol))
    assert back == every
    assert all(type(b) is Barcode and isinstance(b.symbology, Symbology) for b in back)
    assert b"_zephbarcode" not in pickle.dumps(every, protocol)  # the public class only


def test_symbology_is_a_member_and_its_name_stays(reads):
    expected = {
        "ean13.jpg": Symbology.EAN13, "ean13-addon.png": Symbology.EAN13,
        "ean8.gif": Symbology.EAN8, "upce.tif": Symbology.UPCE, "upca.bmp": Symbology.EAN13,
        "code128.png": Symbology.CODE128,
    }
    for name, symbology in expected.items():
        b = reads[name][0]
        assert b.symbology == symbology and b.symbology in Symbology.default(), name
        assert b.symbology_name.split(" + ")[0] in _READ_AS, name
    assert reads["ean13-addon.png"][0].symbology_name == "EAN-13 + UPC Supplemental"
    assert reads["upca.bmp"][0].type == "UPC-A"


def test_every_member_has_its_read_name_and_matches_the_library():
    from zephbarcode._symbology import INTERPRETATIONS
    # The GS1 DataBar family shares one read name; its type tells them apart.
    family = {Symbology.DATABAR_LIMITED, Symbology.DATABAR_EXPANDED}
    assert set(_READ_AS.values()) | set(INTERPRETATIONS) | family == set(Symbology)
    assert not set(_READ_AS.values()) & set(INTERPRETATIONS)
    assert every_member() == Symbology.all()
    # The default leaves out add-ons on their own, the symbologies whose
    # checks are weak and Telepen's numeric-label reading; every other member
    # is in it.
    weak = (Symbology.ADD_ON | Symbology.CODE11 | Symbology.MSI | Symbology.PLESSEY
            | Symbology.INDUSTRIAL_2OF5 | Symbology.IATA_2OF5 | Symbology.MATRIX_2OF5
            | Symbology.DATALOGIC_2OF5 | Symbology.PHARMACODE)
    assert Symbology.default() == Symbology.all() & ~weak & ~Symbology.TELEPEN_NUMERIC
    # A name this package does not know is no member, its name kept.
    from zephbarcode._symbology import symbology_of
    assert symbology_of("Some Future Code") == Symbology(0)


def test_repr_shows_the_raw_text(reads):
    b = reads["ean13-addon.png"][0]
    text = repr(b)
    assert "raw_text='9780306406157 + 51234'" in text
    assert "Symbology.EAN13" in text and repr(b.text) in text and f"{b.confidence:.3f}" in text
