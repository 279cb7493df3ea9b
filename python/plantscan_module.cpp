// The Python module plantscan: the library's measurements on a path or a NumPy array, as plain
// Python numbers and arrays.
#include "plant_scan_tools/version.h"
#include "plantscan/plantscan.h"
#include "resources/memory_need.h"
#include "scan_input/scan_memory.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <opencv2/core.hpp>

#include <array>
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
    py::object owner;  // the array whose memory `image` uses, if any
};

// Refuses, as the programs do, a scan that would not fit in the memory this process may use.
void require(const std::optional<std::string>& refusal) {
    if (refusal) throw plantscan::OutOfMemoryError(*refusal);
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
    // A view such as rgb[..., ::-1] is copied into rows the library can walk.
    auto rows = py::array_t<std::uint8_t, py::array::c_style>::ensure(array);
    if (!rows) throw py::error_already_set();
    const cv::Mat image(static_cast<int>(rows.shape(0)), static_cast<int>(rows.shape(1)),
                        gray ? CV_8UC1 : CV_8UC3, rows.mutable_data());
    return {image, rows};
}

Scan scanFromPath(const std::string& path, const resources::MemoryNeed& need) {
    require(input::scanRefusal(path, need, resources::Language::ENGLISH));
    cv::Mat image;
    {
        py::gil_scoped_release release;
        image = plantscan::readScan(path);
    }
    return {image, py::none()};
}

Scan toScan(const py::object& image, const resources::MemoryNeed& need) {
    if (py::isinstance<py::array>(image)) return scanFromArray(image.cast<py::array>(), need);
    if (py::isinstance<py::str>(image) || py::hasattr(image, "__fspath__")) {
        const py::object path = py::module_::import("os").attr("fspath")(image);
        if (py::isinstance<py::str>(path)) return scanFromPath(path.cast<std::string>(), need);
    }
    throw py::type_error("the image must be a path or a NumPy array, not " +
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

void addPerLobe(py::dict& values, const char* name, const std::array<double, 5>& perLobe) {
    for (int k = 0; k < plantscan::LOBE_COUNT; ++k)
        values[py::str(std::string(name) + "_" + std::to_string(k + 1))] = perLobe[k];
}

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
    values["width"] = m.width;
    values["circumscribed_diameter"] = m.circumscribedDiameter;
    values["inscribed_diameter"] = m.inscribedDiameter;
    addPerLobe(values, "corner_radius", m.cornerRadii);
    addPerLobe(values, "hollow_radius", m.hollowRadii);
    addPerLobe(values, "hollow_depth", m.hollowDepths);
    addPerLobe(values, "hollow_distance", m.hollowDistances);
    addPerLobe(values, "hollow_ratio", m.hollowRatios);
    if (withMask) values["mask"] = toArray(section);
    if (withAnnotated) values["annotated"] = toArray(annotated);
    return values;
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
        found.append(entry);
    }
    return found;
}

// Python exceptions for the library's errors; a missing file is the built-in one.
void translateErrors(py::module_& module) {
    static py::exception<plantscan::NoSectionError> noSection(module, "NoSectionError",
                                                              PyExc_ValueError);
    noSection.doc() = "No section can be measured on this scan (section_measure's status 1).";
    py::register_exception_translator([](std::exception_ptr error) {
        try {
            if (error) std::rethrow_exception(error);
        } catch (const plantscan::NoSectionError& e) {
            noSection(e.what());
        } catch (const plantscan::UnreadableScanError& e) {
            PyErr_SetString(e.cause == plantscan::UnreadableScanError::Cause::MISSING
                                ? PyExc_FileNotFoundError
                                : PyExc_ValueError,
                            e.what());
        } catch (const plantscan::OutOfMemoryError& e) {
            PyErr_SetString(PyExc_MemoryError, e.what());
        } catch (const plantscan::ImageLibraryError& e) {
            PyErr_SetString(PyExc_RuntimeError, e.what());
        }
    });
}

constexpr const char* MODULE_DOC = R"(Measurements of cane sections and leaflets on flat-bed scans.

The numbers are those of the programs section_measure and leaflet_crop, to the last bit, but
nothing is written to disk and nothing is printed.

An image is either a path (str or os.PathLike), read as the programs read it, or a NumPy array
of uint8: H x W x 3 in OpenCV's B, G, R order (as cv2.imread gives it), or H x W gray. An RGB
array (from imageio, PIL or matplotlib) is passed as ``rgb[..., ::-1]``.

Errors: FileNotFoundError for a missing file; ValueError for a file that is not an image, a
truncated JPEG, an array of another dtype or shape; NoSectionError (a ValueError) when no
section can be measured; MemoryError when the scan needs more memory than the process may use.
Messages about a section are section_measure's, in French.

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

mask=True adds "mask": the section as H x W uint8, 255 on 0. annotated=True adds "annotated":
section_measure's res.jpg as an H x W x 3 B, G, R array (contours, corners, hollows).

Raises NoSectionError when no section can be measured.)";

constexpr const char* CROP_LEAFLETS_DOC =
    R"(Finds the light leaflets of a dark scan and cuts each out upright, as leaflet_crop does, in the
order of its crops (PETALES/<scan>_0.jpg, _1.jpg, ...), and measures each at `dpi` dots per
inch (1200 unless given). Each dict holds:
  crop       the upright crop, H x W x 3 uint8 in B, G, R order,
  rectangle  ((cx, cy), (width, height), angle), the rotated rectangle cut out of the scan, in
             pixels and degrees, as cv2.minAreaRect gives one (cv2.boxPoints takes it),
  outline    the leaflet's outline, N x 2 int32 (x, y),
  area       mm2: the light pixels inside the outline (dark holes are not counted),
  length     mm: the longer side of the outline's minimum-area rectangle (before the crop's
             15 pixels of margin), width: its shorter side,
  perimeter  mm: the outline's length, pixel step by pixel step, which runs 5 to 8 % above a
             smooth edge's.
An empty list when the scan has no leaflet.)";

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
}
