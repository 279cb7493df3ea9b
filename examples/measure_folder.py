"""Measures every scan of a folder into a pandas table, and plots the widths.

    python3 measure_folder.py SCANS [OUT]

Writes OUT/sections.csv (one row per scan, the values in millimetres, and the reason when a scan
could not be measured) and OUT/widths.png; OUT is the current folder by default.
"""
import sys
from pathlib import Path

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt
import pandas as pd

import plantscan

SCAN_SUFFIXES = {".jpg", ".jpeg", ".png", ".tif", ".tiff", ".bmp"}


def measure_folder(folder):
    rows = []
    for path in sorted(Path(folder).iterdir()):
        if path.suffix.lower() not in SCAN_SUFFIXES:
            continue
        try:
            rows.append({"scan": path.name, "error": "", **plantscan.measure_section(path)})
        except (ValueError, MemoryError) as error:  # NoSectionError is a ValueError
            rows.append({"scan": path.name, "error": str(error)})
    if not rows:
        sys.exit(f"no scan in {folder}")
    return pd.DataFrame(rows).set_index("scan")


def plot_widths(table, png):
    widths = table.get("width", pd.Series(dtype=float)).dropna()
    figure, axes = plt.subplots(figsize=(6, 4))
    axes.hist(widths, bins=max(5, len(widths) // 4), color="tab:green", edgecolor="black")
    axes.set_xlabel("width (mm)")
    axes.set_ylabel("scans")
    axes.set_title(f"Section widths, {len(widths)} of {len(table)} scans measured")
    figure.tight_layout()
    figure.savefig(png, dpi=100)
    plt.close(figure)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    out = Path(sys.argv[2] if len(sys.argv) == 3 else ".")
    table = measure_folder(sys.argv[1])
    table.to_csv(out / "sections.csv")
    plot_widths(table, out / "widths.png")
    print(table.filter(["width", "circumscribed_diameter", "inscribed_diameter", "error"]))


if __name__ == "__main__":
    main()
