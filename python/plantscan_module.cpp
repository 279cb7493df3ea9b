// The Python module plantscan: the library's measurements on a path or a NumPy array, as plain
// Python numbers and arrays.
#include "plant_scan_tools/version.h"
#include "plantscan/plantscan.h"
#include "platform/paths.h"
#include "resources/memory_need.h"
#include "scan_input/image_header.h"
#include "scan_input/scan_memory.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <opencv2/core.hpp>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace plantscan::python {

namespace py = pybind11;

namespace {

// A scan the library can take, with what keeps its pixels alive.
struct Scan {
    cv::Mat image;
    py::object owner;                               // the array whose memory `image` uses, if any
    std::optional<input::StatedResolution> stated;  // what a file's header states
};

[[noreturn]] void raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

// Refuses, as the programs do, a scan that would not fit in the memory this process may use.
void require(const std::optional<std::string>& refusal) {
    if (refusal) raise(PyExc_MemoryError, *refusal);
}

Scan scanFromArray(const py::array& array, const resources::MemoryNeed& need) {
    if (!array.dtype().is(py::dtype::of<std::uint8_t>()))
        throw py::value_error("the image must be an array of uint8, not " +
                              std::string(py::str(array.dtype())));
    const bool gray = array.ndim() == 2;
    const bool colour = array.ndim() == 3 && array.shape(2) == 3;
    if (!gray && !colour)
        throw py::value_error(
            "the image must be H x W x 3 (B, G, R) or H x W (gray), not of shape " +
            std::string(py::str(py::object(array.attr("shape")))));
    if (array.shape(0) == 0 || array.shape(1) == 0) throw py::value_error("the image is empty");
    require(resources::memoryRefusal(static_cast<std::uint64_t>(array.shape(0)) * array.shape(1),
                                     need, "the array", resources::Language::ENGLISH));
    // A view such as rgb[..., ::-1], or a Fortran-ordered array, is copied into rows the
    // library can walk; any other array is used in place.
    auto rows = py::array_t<std::uint8_t, py::array::c_style>::ensure(array);
    if (!rows) throw py::error_already_set();
    // The library only reads a scan, so a read-only array is taken as it is.
    const cv::Mat image(static_cast<int>(rows.shape(0)), static_cast<int>(rows.shape(1)),
                        gray ? CV_8UC1 : CV_8UC3, const_cast<std::uint8_t*>(rows.data()));
    return {image, rows, std::nullopt};
}

// In English, as Python's own errors are: what went wrong and what to do; a missing file is
// Python's FileNotFoundError, with `argument` as its filename, as open() gives it.
[[noreturn]] void raiseUnreadable(const UnreadableScanError& error, const py::object& argument) {
    if (error.cause == UnreadableScanError::Cause::MISSING) {
        PyErr_SetObject(PyExc_FileNotFoundError,
                        py::make_tuple(ENOENT,
                                       "No such file (check its name, and the folder Python "
                                       "runs in: os.getcwd())",
                                       argument)
                            .ptr());
        throw py::error_already_set();
    }
    const std::string start = "cannot read '" + error.path + "': ";
    if (error.cause == UnreadableScanError::Cause::TRUNCATED_JPEG)
        raise(PyExc_ValueError, start +
                                    "the JPEG file is cut short (it ends before its end); copy "
                                    "it again from the scanner or the original");
    raise(PyExc_ValueError, start +
                                "it is not an image file (JPEG, PNG, TIFF, BMP...), or it "
                                "cannot be read; give the path of a scan");
}

Scan scanFromPath(const std::string& path, const py::object& argument,
                  const resources::MemoryNeed& need) {
    require(input::scanRefusal(path, need, resources::Language::ENGLISH));
    Scan scan{cv::Mat(), py::none(), std::nullopt};
    try {
        py::gil_scoped_release release;
        scan.image = plantscan::readScan(path);
        scan.stated = input::readStatedResolution(platform::pathFromUtf8(path));
    } catch (const UnreadableScanError& error) {
        raiseUnreadable(error, argument);
    }
    return scan;
}

Scan toScan(const py::object& image, const resources::MemoryNeed& need) {
    if (py::isinstance<py::array>(image)) return scanFromArray(image.cast<py::array>(), need);
    if (py::isinstance<py::str>(image) || py::hasattr(image, "__fspath__")) {
        const py::object path = py::module_::import("os").attr("fspath")(image);
        if (py::isinstance<py::str>(path))
            return scanFromPath(path.cast<std::string>(), image, need);
    }
    // Any other array of bytes (a memoryview, a buffer of another library), as NumPy sees it;
    // not bytes, which is rather a path.
    if (PyObject_CheckBuffer(image.ptr()) && !py::isinstance<py::bytes>(image))
        return scanFromArray(py::module_::import("numpy").attr("asarray")(image), need);
    throw py::type_error(
        "the image must be a path, or a NumPy array (or any buffer) of "
        "uint8, not " +
        std::string(py::str(py::type::of(image).attr("__name__"))));
}

py::array toArray(const cv::Mat& image) {
    std::vector<py::ssize_t> shape{image.rows, image.cols};
    if (image.channels() > 1) shape.push_back(image.channels());
    const cv::Mat rows = image.isContinuous() ? image : image.clone();
    return py::array_t<std::uint8_t>(shape, rows.ptr<std::uint8_t>());  // copies the pixels
}

py::array toPoints(const std::vector<cv::Point>& points) {
    py::array_t<std::int32_t> array({static_cast<py::ssize_t>(points.size()), py::ssize_t{2}});
    auto cells = array.mutable_unchecked<2>();
    for (std::size_t i = 0; i < points.size(); ++i) {
        cells(i, 0) = points[i].x;
        cells(i, 1) = points[i].y;
    }
    return std::move(array);
}

// The values' names in Python, in the order of the dict.
const std::array<std::pair<const char*, double SectionMeasurement::*>, 3> SINGLE_VALUES{{
    {"width", &SectionMeasurement::width},
    {"circumscribed_diameter", &SectionMeasurement::circumscribedDiameter},
    {"inscribed_diameter", &SectionMeasurement::inscribedDiameter},
}};
// "corner_radius_1" .. "corner_radius_5", each entry k - 1 of its array.
const std::array<std::pair<const char*, std::array<double, LOBE_COUNT> SectionMeasurement::*>, 5>
    PER_LOBE_VALUES{{
        {"corner_radius", &SectionMeasurement::cornerRadii},
        {"hollow_radius", &SectionMeasurement::hollowRadii},
        {"hollow_depth", &SectionMeasurement::hollowDepths},
        {"hollow_distance", &SectionMeasurement::hollowDistances},
        {"hollow_ratio", &SectionMeasurement::hollowRatios},
    }};

std::string lobeName(const char* name, int k) { return name + ("_" + std::to_string(k + 1)); }

py::dict measureSection(const py::object& image, bool withMask, bool withAnnotated) {
    const Scan scan = toScan(image, resources::SECTION_MEASURE_NEED);
    plantscan::SectionMeasurement m;
    cv::Mat section;
    cv::Mat annotated;
    {
        py::gil_scoped_release release;
        plantscan::Outputs outputs;
        if (withAnnotated) {
            outputs.writeImage = [&annotated](const std::string& name, const cv::Mat& drawn) {
                if (name == "res.jpg") annotated = drawn;
            };
        }
        section = plantscan::segmentSection(scan.image, outputs);
        m = plantscan::measureSectionMask(section, scan.image, outputs);
    }
    py::dict values;
    for (const auto& [name, member] : SINGLE_VALUES) values[name] = m.*member;
    for (const auto& [name, member] : PER_LOBE_VALUES)
        for (int k = 0; k < LOBE_COUNT; ++k) values[py::str(lobeName(name, k))] = (m.*member)[k];
    values["stated_dpi"] = scan.stated ? py::object(py::float_(scan.stated->x)) : py::none();
    if (withMask) values["mask"] = toArray(section);
    if (withAnnotated) values["annotated"] = toArray(annotated);
    return values;
}

// measure_section's values back into the library's, by the same names.
std::string formatReport(const py::object& values) {
    const auto value = [&values](const std::string& name) {
        return values[py::str(name)].cast<double>();
    };
    SectionMeasurement m;
    for (const auto& [name, member] : SINGLE_VALUES) m.*member = value(name);
    for (const auto& [name, member] : PER_LOBE_VALUES)
        for (int k = 0; k < LOBE_COUNT; ++k) (m.*member)[k] = value(lobeName(name, k));
    return plantscan::formatReport(m);
}

py::list cropLeaflets(const py::object& image, double dpi) {
    if (!(dpi > 0) || !std::isfinite(dpi))
        throw py::value_error("dpi must be a positive number, not " + std::to_string(dpi));
    const Scan scan = toScan(image, resources::LEAFLET_CROP_NEED);
    std::vector<plantscan::Leaflet> leaflets;
    {
        py::gil_scoped_release release;
        leaflets = plantscan::findLeaflets(scan.image, {}, dpi);
    }
    py::list found;
    for (const plantscan::Leaflet& leaflet : leaflets) {
        const cv::RotatedRect& r = leaflet.rectangle;
        py::dict entry;
        entry["crop"] = toArray(leaflet.crop);
        entry["rectangle"] = py::make_tuple(py::make_tuple(r.center.x, r.center.y),
                                            py::make_tuple(r.size.width, r.size.height), r.angle);
        entry["outline"] = toPoints(leaflet.outline);
        entry["area"] = leaflet.area;
        entry["length"] = leaflet.length;
        entry["width"] = leaflet.width;
        entry["perimeter"] = leaflet.perimeter;
        entry["feret_max"] = leaflet.feretMax;
        entry["feret_min"] = leaflet.feretMin;
        entry["circularity"] = leaflet.circularity;
        entry["solidity"] = leaflet.solidity;
        entry["l_star"] = leaflet.lStar;
        entry["a_star"] = leaflet.aStar;
        entry["b_star"] = leaflet.bStar;
        found.append(entry);
    }
    return found;
}

// Why no section could be measured, and what to do, in plain words.
std::string noSectionWords(NoSectionError::Reason why) {
    using Reason = NoSectionError::Reason;
    switch (why) {
        case Reason::NOTHING_TO_SEPARATE:
            return "the image is all dark or all light: there is no dark section on a light "
                   "ground to separate; check that it is the scan of a section";
        case Reason::NO_CONTOUR:
            return "no section outline found: the image holds no section, or its ground is not "
                   "light; a section must be dark, whole, on a light ground, away from the edges";
        case Reason::OUTLINE_TOO_SHORT:
            return "the section found is too small to be measured; check that it is a section "
                   "scanned at 1200 dpi";
        case Reason::NO_FIVE_CORNERS:
            return "the shape found has no five distinct corners: it is not a five-cornered "
                   "section, or it is poorly separated from its ground (see the mask)";
        case Reason::ARC_TOO_SHORT: break;
    }
    return "a corner or a hollow is too narrow to fit a circle in: the section may be damaged, "
           "or poorly separated from its ground (see the mask)";
}

// Raises `type` with the plain sentence, the library's words as its detail.
void setError(PyObject* type, const std::string& sentence, const std::exception& detail) {
    PyErr_SetString(type, (sentence + " (" + detail.what() + ")").c_str());
}

// Python exceptions for the library's errors, in English; the library's own words (French for
// a section, as section_measure's) are kept as the detail.
void translateErrors(py::module_& module) {
    static py::exception<NoSectionError> noSection(module, "NoSectionError", PyExc_ValueError);
    noSection.doc() = "No section can be measured on this scan (section_measure's status 1).";
    py::register_exception_translator([](std::exception_ptr error) {
        try {
            if (error) std::rethrow_exception(error);
        } catch (const NoSectionError& e) {
            noSection((noSectionWords(e.reason) + " (section_measure: " + e.what() + ")").c_str());
        } catch (const UnreadableScanError& e) {
            // scanFromPath says more, knowing the argument; this is in case.
            PyErr_SetString(PyExc_ValueError, ("cannot read '" + e.path + "'").c_str());
        } catch (const OutOfMemoryError& e) {
            setError(PyExc_MemoryError,
                     "not enough memory to measure this scan; close other programs, or measure "
                     "fewer scans at once",
                     e);
        } catch (const ImageLibraryError& e) {
            setError(PyExc_RuntimeError,
                     "OpenCV stopped the measurement; if it happens again, report it with this "
                     "message",
                     e);
        }
    });
}

constexpr const char* MODULE_DOC = R"(Measurements of cane sections and leaflets on flat-bed scans.

The numbers are those of the programs section_measure and leaflet_crop, to the last bit, but
nothing is written to disk and nothing is printed.

An image is either a path (str or os.PathLike), read as the programs read it, or an array of
uint8 (NumPy's, or any object with the buffer protocol; read-only, strided or Fortran-ordered
arrays are taken too): H x W x 3 in OpenCV's B, G, R order (as cv2.imread gives it), or H x W
gray. An RGB array (from imageio, PIL or matplotlib) is passed as ``rgb[..., ::-1]``:
``np.asarray(PIL.Image.open(f))[..., ::-1]``.

Errors: FileNotFoundError for a missing file (errno ENOENT, filename the argument as given);
ValueError for a file that is not an image, a truncated JPEG, an array of another dtype or
shape; NoSectionError (a ValueError) when no section can be measured; MemoryError when the
scan needs more memory than the process may use. The messages are in English: what went wrong
and what to do; for a section they end with section_measure's own words (in French) in
parentheses.

The measurements release the GIL: threads measure side by side, with the same numbers as one
after the other.)";

constexpr const char* MEASURE_SECTION_DOC =
    R"(Measures the cane section of a scan at 1200 dpi, as section_measure does.

Returns a dict of floats, lengths in millimetres:
  width, circumscribed_diameter, inscribed_diameter,
  corner_radius_1 .. corner_radius_5    radius of curvature of each corner ("angle"),
  hollow_radius_1 .. hollow_radius_5    radius of curvature of each hollow ("creux"),
  hollow_depth_1 .. hollow_depth_5      depth below the convex hull,
  hollow_distance_1 .. hollow_distance_5  distance from the circumscribed circle,
  hollow_ratio_1 .. hollow_ratio_5      that distance in % of the circumscribed radius.
Corner k lies between hollows k - 1 and k, as in section_measure's report.

stated_dpi is the resolution the file's header states (dots per inch, across), or None when
it states none, or for an array. The lengths are computed for 1200 dpi whatever it says: if
stated_dpi is more than 1 % away from 1200 (72 and 96 are what software states when it knows
nothing, and can be ignored), check how the scan was made; if it really was at stated_dpi,
multiply the lengths by 1200 / stated_dpi (the ratios stay right), or scan it again at 1200.

mask=True adds "mask": the section as H x W uint8, 255 on 0. annotated=True adds "annotated":
section_measure's res.jpg as an H x W x 3 B, G, R array (contours, corners, hollows).

format_report(values) gives the text section_measure writes in mesures.csv for these values.

Raises NoSectionError when no section can be measured.)";

constexpr const char* CROP_LEAFLETS_DOC =
    R"(Finds the light leaflets of a dark scan and cuts each out upright, as leaflet_crop does, in the
order of its crops (PETALES/<scan>_0.jpg, _1.jpg, ...), and measures each at `dpi` dots per
inch (1200 unless given). Each dict holds:
  crop       the upright crop, H x W x 3 uint8 in B, G, R order,
  rectangle  ((cx, cy), (width, height), angle), the rotated rectangle cut out of the scan, in
             pixels and degrees, as cv2.minAreaRect gives one (cv2.boxPoints takes it),
  outline    the leaflet's outline, N x 2 int32 (x, y),
  area       mm2: inside the line along the leaflet's edge between the pixels, half-way
             between its light and the background's (dark holes are not counted),
  length     mm: the longer side of the outline's minimum-area rectangle (before the crop's
             15 pixels of margin), width: its shorter side,
  perimeter  mm: the length of that line (within 1 % of a smooth edge's),
  feret_max  mm: the longest distance between two points of the line, feret_min: the
             narrowest gap between two parallel lines holding it,
  circularity  4 pi area / perimeter**2 (1 for a disc),
  solidity   area / the area of the line's convex hull,
  l_star, a_star, b_star  the mean colour of the leaflet away from its edges as CIE L*a*b*
             (L* 0 to 100), the scan's values taken as sRGB under D65: the scanner's
             colour, not a calibrated one.
An empty list when the scan has no leaflet.)";

constexpr const char* FORMAT_REPORT_DOC =
    R"(The text of mesures.csv, byte for byte as section_measure writes it, for the values
measure_section gives (a dict, or any mapping with their names, such as a pandas row): ";"
between cells, decimal commas, CR LF line ends. Write it with
open(path, "w", encoding="utf-8", newline="").

Each value is rounded there as section_measure rounds it: v x 100 as computed, rounded half
away from zero, then divided by 100. Python's round(v, 2) and f"{v:.2f}" round the exact binary
value instead, so where v is near a half (3.174999... whose v x 100 comes out as 317.5) they
may give the last digit one lower (3.17 where the file says 3,18).)";

}  // namespace

}  // namespace plantscan::python

PYBIND11_MODULE(plantscan, module) {
    module.doc() = plantscan::python::MODULE_DOC;
    module.attr("__version__") = PLANT_SCAN_TOOLS_VERSION;
    plantscan::python::translateErrors(module);
    module.def("measure_section", &plantscan::python::measureSection,
               plantscan::python::MEASURE_SECTION_DOC, pybind11::arg("image"), pybind11::kw_only(),
               pybind11::arg("mask") = false, pybind11::arg("annotated") = false);
    module.def("crop_leaflets", &plantscan::python::cropLeaflets,
               plantscan::python::CROP_LEAFLETS_DOC, pybind11::arg("image"), pybind11::kw_only(),
               pybind11::arg("dpi") = plantscan::DEFAULT_DPI);
    module.def("format_report", &plantscan::python::formatReport,
               plantscan::python::FORMAT_REPORT_DOC, pybind11::arg("values"));
}
