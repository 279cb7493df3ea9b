#include "library/boundary.h"

#include "plantscan/errors.h"
#include "section_measure/section.h"

#include <opencv2/imgproc.hpp>

#include <new>
#include <stdexcept>
#include <system_error>

namespace plantscan::detail {

cv::Mat colourScan(const cv::Mat& scan) {
    if (scan.empty() || scan.depth() != CV_8U || (scan.channels() != 1 && scan.channels() != 3))
        throw std::invalid_argument("a scan is a non-empty 8-bit image with 1 or 3 channels");
    if (scan.channels() == 3) return scan;
    cv::Mat colour;
    cv::cvtColor(scan, colour, cv::COLOR_GRAY2BGR);
    return colour;
}

void rethrowAsLibraryError(const std::string& stage, Language language) {
    const bool french = language == Language::FRENCH;
    const std::string where =
        french ? " à l'étape « " + stage + " »" : " at the stage \"" + stage + "\"";
    const std::string outOfMemory = (french ? "mémoire insuffisante" : "out of memory") + where;
    try {
        throw;
    } catch (const Error&) {
        throw;
    } catch (const section::SectionError& error) {
        throw NoSectionError(error.what());
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError(outOfMemory);
    } catch (const cv::Exception& error) {
        if (error.code == cv::Error::StsNoMem) throw OutOfMemoryError(outOfMemory);
        throw ImageLibraryError((french ? "erreur d'OpenCV" : "OpenCV error") + where +
                                (french ? " : " : ": ") + error.what());
    } catch (const std::system_error& error) {
        // Short of memory, OpenCV's thread pool cannot start its threads.
        if (error.code() == std::errc::resource_unavailable_try_again ||
            error.code() == std::errc::not_enough_memory)
            throw OutOfMemoryError(outOfMemory);
        throw;
    }
}

}  // namespace plantscan::detail
