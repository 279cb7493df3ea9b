"""The example a researcher starts from, on the bundled samples."""
import os
import subprocess
import sys
from pathlib import Path

import pandas as pd

import plantscan

REPO = Path(os.environ["PLANTSCAN_REPO"])


def test_the_example_measures_the_samples_into_a_table_and_a_plot(tmp_path):
    subprocess.run([sys.executable, str(REPO / "examples/measure_folder.py"),
                    str(REPO / "samples"), str(tmp_path)], check=True, capture_output=True)
    assert (tmp_path / "widths.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    table = pd.read_csv(tmp_path / "sections.csv", index_col="scan", float_precision="round_trip")
    assert list(table.index) == ["leaflet.jpg", "section.jpg"]
    # A leaflet scan has no section: said in plain words, the program's line kept as the detail.
    assert table.loc["leaflet.jpg", "error"].startswith("no section outline found")
    assert "contour" in table.loc["leaflet.jpg", "error"]
    assert pd.isna(table.loc["section.jpg", "error"])
    assert table.loc["section.jpg", "width"] == plantscan.measure_section(
        REPO / "samples/section.jpg")["width"]
