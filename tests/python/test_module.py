"""The Python module against the C++ library: the same doubles from a path or an array, its
errors, and the same numbers whatever ran before and on any thread."""
import errno
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
    values["stated_dpi"] = None  # the file's header states none; nor does an array
    return values, np.fromfile(raw, np.uint8).reshape(rows, cols, 3)


def test_a_path_or_an_array_gives_the_librarys_doubles(library):
    values, bgr = library
    assert list(values) == list(plantscan.measure_section(SMALL))
    assert plantscan.measure_section(SMALL) == values
    assert plantscan.measure_section(str(SMALL)) == values
    assert plantscan.measure_section(bgr) == values
    rgb = np.ascontiguousarray(bgr[..., ::-1])
    assert plantscan.measure_section(rgb[..., ::-1]) == values  # a view with negative strides
    assert all(type(value) is float for name, value in values.items() if name != "stated_dpi")


def test_any_array_of_bytes_python_hands_gives_the_paths_values(library):
    values, bgr = library
    read_only = bgr.copy()
    read_only.flags.writeable = False
    pixels = bgr.tobytes()
    frozen = np.frombuffer(pixels, np.uint8).reshape(bgr.shape)  # over immutable bytes
    framed = np.zeros((bgr.shape[0] + 2, bgr.shape[1] + 4, 3), np.uint8)
    framed[1:-1, 2:-2] = bgr
    for image in (read_only, frozen, np.asfortranarray(bgr), framed[1:-1, 2:-2],
                  memoryview(bgr)):
        assert plantscan.measure_section(image) == values
    # Only read, even where it draws.
    plantscan.measure_section(frozen, annotated=True, mask=True)
    assert frozen.tobytes() == pixels
    leaflets = plantscan.crop_leaflets(REPO / "samples/leaflet.jpg")
    leaf = np.ascontiguousarray(leaflets[0]["crop"])
    leaf.flags.writeable = False
    assert len(plantscan.crop_leaflets(leaf)) == 1
    with pytest.raises(ValueError):
        plantscan.measure_section(memoryview(bgr.astype(np.int16)))


def test_a_pil_image_as_numpy_reads_it(library):
    image = pytest.importorskip("PIL.Image")
    rgb = np.asarray(image.open(SMALL))
    assert not rgb.flags.writeable
    # PIL's decoder is not OpenCV's: close values, not the same bits.
    measured = plantscan.measure_section(rgb[..., ::-1])
    assert measured["width"] == pytest.approx(library[0]["width"], abs=0.05)


def test_the_stated_resolution_and_the_report_as_section_measure_writes_it(library, tmp_path):
    values = library[0]
    stamped = bytearray(SMALL.read_bytes())
    stamped[13:18] = bytes([1, 600 >> 8, 600 & 0xFF, 600 >> 8, 600 & 0xFF])  # JFIF, per inch
    (tmp_path / "at_600.jpg").write_bytes(stamped)
    assert plantscan.measure_section(tmp_path / "at_600.jpg") == {**values, "stated_dpi": 600.0}

    subprocess.run([os.environ["PLANTSCAN_SECTION_MEASURE"], str(SMALL)], cwd=tmp_path,
                   check=True, capture_output=True)
    report = (tmp_path / "mesures.csv").read_bytes().decode("utf-8")
    assert plantscan.format_report(values) == report
    assert plantscan.format_report(plantscan.measure_section(SMALL)) == report
    with pytest.raises(KeyError):
        plantscan.format_report({"width": 1.0})


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
    # As open() raises it: errno, and the argument as it was given.
    for missing in (tmp_path / "missing.jpg", "missing.jpg"):
        for call in (plantscan.measure_section, plantscan.crop_leaflets):
            with pytest.raises(FileNotFoundError, match="missing.jpg") as error:
                call(missing)
            assert error.value.errno == errno.ENOENT and error.value.filename is missing
            assert "No such file" in str(error.value)
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
    # What happened in English, section_measure's own words kept as the detail.
    with pytest.raises(plantscan.NoSectionError,
                       match=r"^the image is all dark or all light.*\(section_measure: .*grabCut"):
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
        # Each new value under its own name: the calipers hold the rectangle's sides between
        # them (to a pixel or two), the ratios lie within (0, 1], L* within [0, 100].
        assert leaflet["feret_min"] - 2 * mm <= leaflet["width"]
        assert leaflet["length"] <= leaflet["feret_max"] + 2 * mm
        assert 0 < leaflet["circularity"] <= 1 and 0 < leaflet["solidity"] <= 1
        assert 0 < leaflet["l_star"] <= 100
        assert leaflet["circularity"] == pytest.approx(
            4 * np.pi * leaflet["area"] / leaflet["perimeter"] ** 2)
    assert plantscan.crop_leaflets(np.zeros((60, 60, 3), np.uint8)) == []
    at_600 = plantscan.crop_leaflets(REPO / "samples/leaflet.jpg", dpi=600)
    assert [leaflet["area"] for leaflet in at_600] == pytest.approx(
        [4 * leaflet["area"] for leaflet in leaflets])
    assert [leaflet["feret_max"] for leaflet in at_600] == pytest.approx(
        [2 * leaflet["feret_max"] for leaflet in leaflets])
    with pytest.raises(ValueError):
        plantscan.crop_leaflets(REPO / "samples/leaflet.jpg", dpi=0)
