#include "leaflet_batch/one_scan.h"

#include "image_output/image_file.h"
#include "leaflet_batch/leaflet_report.h"
#include "leaflet_crop/output_files.h"
#include "page/french_text.h"
#include "plantscan/plantscan.h"
#include "platform/paths.h"
#include "platform/system_errors.h"
#include "resources/memory_need.h"
#include "scan_input/scan_input.h"
#include "scan_input/scan_memory.h"
#include "stored/atomic_file.h"
#include "stored/scan_folder.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <new>
#include <optional>

namespace plantscan::leaflet_batch {

namespace {

constexpr const char* NAME = "leaflet_batch";

void say(const std::string& message) { std::cerr << NAME << " : " << message << std::endl; }

// Into the current folder, its folder made first as leaflet_crop makes it; false, said, when
// the file cannot be written.
bool writeImage(const std::string& fileName, const cv::Mat& image) {
    const std::optional<output::ImageWriteFailure> failure =
        output::writeImageFile("", fileName, image);
    if (!failure) return true;
    const std::string cause = failure->error || failure->encoderMessage.empty()
                                  ? platform::frenchErrorWords(failure->error)
                                  : "l'encodeur d'image a échoué (" + failure->encoderMessage + ")";
    if (!failure->folder.empty()) {
        say("impossible de créer le dossier « " + failure->folder + " » : " + cause);
    } else {
        say("impossible d'écrire « " + fileName + " » : " + cause);
    }
    return false;
}

// The leaflets of `scan`, their images written as they come; what a failure leaves is said.
std::optional<std::vector<plantscan::Leaflet>> cropLeaflets(const cv::Mat& scan, input::Dpi dpi,
                                                            bool& writeFailed) {
    plantscan::Outputs outputs;
    outputs.writeImage = [&writeFailed](const std::string& name, const cv::Mat& image) {
        if (!writeImage(name, image)) writeFailed = true;
    };
    try {
        return plantscan::findLeaflets(scan, outputs, dpi.value);
    } catch (const plantscan::OutOfMemoryError& e) {
        say(std::string("mémoire insuffisante : ") + e.what());
    } catch (const plantscan::Error& e) {
        say(std::string("erreur d'OpenCV : ") + e.what());
    } catch (const std::bad_alloc&) {
        say("mémoire insuffisante");
    }
    return std::nullopt;
}

// Each leaflet's rectangle centre, whether its outline reaches the scan's border, and the share
// of the scan it covers.
std::vector<stored::PiecePlace> placesOf(const std::vector<plantscan::Leaflet>& leaflets,
                                         cv::Size scan) {
    std::vector<stored::PiecePlace> places;
    const double scanArea = static_cast<double>(scan.width) * scan.height;
    for (const plantscan::Leaflet& leaflet : leaflets) {
        stored::PiecePlace place;
        place.x = leaflet.rectangle.center.x;
        place.y = leaflet.rectangle.center.y;
        place.touchesBorder =
            std::any_of(leaflet.outline.begin(), leaflet.outline.end(), [&](const cv::Point& p) {
                return p.x <= 0 || p.y <= 0 || p.x >= scan.width - 1 || p.y >= scan.height - 1;
            });
        place.shareOfScan = std::min(1.0, cv::contourArea(leaflet.outline) / scanArea);
        places.push_back(place);
    }
    return places;
}

std::optional<input::Dpi> parseDpiOption(const std::vector<std::string>& arguments) {
    if (arguments.size() == 1) return input::Dpi{plantscan::DEFAULT_DPI};
    if (arguments.size() != 3 || arguments[1] != "--dpi") return std::nullopt;
    return input::parseDpi(arguments[2]);
}

}  // namespace

int cropAndMeasureScan(const std::vector<std::string>& arguments) {
    input::silenceImageLibraryLog();
    cv::setNumThreads(-1);  // only then does OpenCV read OPENCV_FOR_THREADS_NUM, set by the batch
    const std::optional<input::Dpi> dpi =
        arguments.empty() ? std::nullopt : parseDpiOption(arguments);
    if (!dpi) {
        say(std::string("usage : ") + NAME + " " + SINGLE_SCAN_OPTION + " IMAGE [--dpi N]");
        return FAILED;
    }
    const std::string& path = arguments[0];
    if (input::refuseScanTooLarge(path, resources::LEAFLET_CROP_NEED, resources::Language::FRENCH,
                                  std::cerr, NAME, NAME))
        return FAILED;
    const cv::Mat scan = input::readScan(path);
    if (scan.empty()) {
        say(input::unreadableScanMessage(path));
        return UNREADABLE;
    }

    bool writeFailed = false;
    const std::optional<std::vector<plantscan::Leaflet>> leaflets =
        cropLeaflets(scan, *dpi, writeFailed);
    if (!leaflets) return FAILED;
    // Named as a lone leaflet_crop run in this folder on the scan's name names them.
    const std::string name = platform::utf8FromPath(platform::pathFromUtf8(path).filename());
    for (std::size_t n = 0; n < leaflets->size(); ++n) {
        if (!writeImage(leaflet::cropFileName(name, static_cast<int>(n)), (*leaflets)[n].crop))
            writeFailed = true;
        std::cout << "Pétale " << n << " : aire " << page::frenchNumber((*leaflets)[n].area)
                  << " mm², "
                  << "longueur " << page::frenchNumber((*leaflets)[n].length) << " mm, largeur "
                  << page::frenchNumber((*leaflets)[n].width) << " mm" << std::endl;
    }
    std::cout << leaflets->size() << " pétale(s) à " << page::frenchNumber(dpi->value, 6) << " dpi"
              << std::endl;
    for (const auto& [file, text] :
         {std::pair<std::string, std::string>{
              DPI_FILE, stored::formatDpiFile({*dpi, LEAFLET_VALUES_VERSION})},
          {PLACES_FILE, stored::formatPiecePlaces(placesOf(*leaflets, scan.size()))},
          {LEAFLET_REPORT, formatLeafletReport(*leaflets)}}) {
        errno = 0;
        if (!stored::writeFileAtomically(file, text)) {
            say("impossible d'écrire « " + file +
                " » : " + platform::frenchErrorWords(platform::errnoCode(errno)));
            writeFailed = true;
        }
    }
    return writeFailed ? WRITE_FAILED : CROPPED;
}

}  // namespace plantscan::leaflet_batch
