"""The Python module against the C++ library: the same doubles from a path or an array, its
errors, and the same numbers whatever ran before and on any thread."""
import os
import subprocess
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import numpy as np
import pytest

import plantscan

REPO = Path(os.environ["PLANTSCAN_REPO"])
SMALL = REPO / "tests/golden/small_section.jpg"


@pytest.fixture(scope="module")
def library(tmp_path_factory):
    """The library's doubles for the small section, by name, and the scan as it read it."""
    raw = tmp_path_factory.mktemp("library") / "scan.bgr"
    lines = subprocess.run([os.environ["PLANTSCAN_VALUES"], str(SMALL), str(raw)], check=True,
                           capture_output=True, text=True).stdout.splitlines()
    rows, cols = map(int, lines[0].split()[1:])
    values = {name: float(number) for name, number in (line.split() for line in lines[1:])}
    return values, np.fromfile(raw, np.uint8).reshape(rows, cols, 3)


def test_a_path_or_an_array_gives_the_librarys_doubles(library):
    values, bgr = library
    assert list(values) == list(plantscan.measure_section(SMALL))
    assert plantscan.measure_section(SMALL) == values
    assert plantscan.measure_section(str(SMALL)) == values
    assert plantscan.measure_section(bgr) == values
    rgb = np.ascontiguousarray(bgr[..., ::-1])
    assert plantscan.measure_section(rgb[..., ::-1]) == values  # a view with negative strides
    assert all(type(value) is float for value in values.values())


def test_a_gray_array_is_measured_as_its_three_channel_copy(library):
    gray = np.ascontiguousarray(library[1][..., 1])
    assert plantscan.measure_section(gray) == plantscan.measure_section(np.dstack([gray] * 3))


def test_mask_and_annotated_images_on_request(library):
    bgr = library[1]
    result = plantscan.measure_section(bgr, mask=True, annotated=True)
    assert result["mask"].shape == bgr.shape[:2] and result["mask"].dtype == np.uint8
    assert set(np.unique(result["mask"])) == {0, 255}
    # The section is dark on the scan.
    assert bgr[result["mask"] == 255].mean() < bgr[result["mask"] == 0].mean()
    assert result["annotated"].shape == bgr.shape and (result["annotated"] != bgr).any()
    assert "mask" not in plantscan.measure_section(bgr)


def test_bad_input_raises_a_clear_exception(tmp_path, monkeypatch):
    with pytest.raises(FileNotFoundError, match="missing.jpg"):
        plantscan.measure_section(tmp_path / "missing.jpg")
    (tmp_path / "text.jpg").write_text("not an image")
    cut = tmp_path / "cut.jpg"
    cut.write_bytes(SMALL.read_bytes()[:5000])
    for path in (tmp_path / "text.jpg", cut, tmp_path):
        with pytest.raises(ValueError) as error:
            plantscan.measure_section(path)
        assert not isinstance(error.value, plantscan.NoSectionError)
    for array in (np.zeros((40, 40, 3), np.float64), np.zeros((40, 40, 4), np.uint8),
                  np.zeros(40, np.uint8), np.zeros((0, 40, 3), np.uint8)):
        with pytest.raises(ValueError):
            plantscan.measure_section(array)
    with pytest.raises(TypeError):
        plantscan.measure_section([[0, 0], [0, 0]])
    with pytest.raises(plantscan.NoSectionError, match="grabCut"):
        plantscan.measure_section(np.full((80, 80, 3), 255, np.uint8))

    # The memory a batch grants its children stands for the machine's.
    monkeypatch.setenv("PLANT_SCAN_MEMORY_SHARE", "1000000")
    with pytest.raises(MemoryError, match="small_section.jpg"):
        plantscan.measure_section(SMALL)
    with pytest.raises(MemoryError):
        plantscan.crop_leaflets(np.zeros((40, 40), np.uint8))


def test_same_numbers_whatever_ran_before_and_on_threads_at_once(library):
    values, bgr = library
    other = np.ascontiguousarray(np.rot90(bgr))
    other_values = plantscan.measure_section(other)
    assert other_values != values
    assert plantscan.measure_section(SMALL) == values

    scans = [SMALL, other, bgr, other] * 2
    with ThreadPoolExecutor(max_workers=4) as pool:
        results = list(pool.map(plantscan.measure_section, scans))
    assert results == [values, other_values] * 4


def test_crop_leaflets_gives_each_crop_its_rectangle_and_outline():
    leaflets = plantscan.crop_leaflets(REPO / "samples/leaflet.jpg")
    assert len(leaflets) == 6
    for leaflet in leaflets:
        (cx, cy), (width, height), angle = leaflet["rectangle"]
        assert -90 <= angle < 0
        assert leaflet["crop"].ndim == 3 and leaflet["crop"].dtype == np.uint8
        outline = leaflet["outline"]
        assert outline.shape[1] == 2 and outline.dtype == np.int32
        # The rectangle is the outline's, grown by 15 pixels all round.
        reach = np.hypot(width, height) / 2
        assert np.hypot(outline[:, 0] - cx, outline[:, 1] - cy).max() <= reach
        # Measured inside that rectangle, before its margin, in mm at 1200 dpi.
        mm = 25.4 / 1200
        assert leaflet["width"] <= leaflet["length"]
        assert sorted((leaflet["width"], leaflet["length"])) == pytest.approx(
            sorted((width * mm - 30 * mm, height * mm - 30 * mm)))
        assert 0 < leaflet["area"] < leaflet["length"] * leaflet["width"]
    assert plantscan.crop_leaflets(np.zeros((60, 60, 3), np.uint8)) == []
    at_600 = plantscan.crop_leaflets(REPO / "samples/leaflet.jpg", dpi=600)
    assert [leaflet["area"] for leaflet in at_600] == pytest.approx(
        [4 * leaflet["area"] for leaflet in leaflets])
    with pytest.raises(ValueError):
        plantscan.crop_leaflets(REPO / "samples/leaflet.jpg", dpi=0)
