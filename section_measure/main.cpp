// section_measure [INPUT]: measures the cane cross-section scanned in INPUT (default
// "section.jpg") and writes its images and "mesures.csv" into the current directory.
//
// Exit status: 0 complete run; 1 no measurable section; 2 input missing or not an image;
// 3 a file could not be written; 4 an image library error or memory exhausted.
#include "scan_input/scan_input.h"
#include "section_measure/corners_hollows.h"
#include "section_measure/measurements.h"
#include "section_measure/outline.h"
#include "section_measure/report.h"
#include "section_measure/segmentation.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <cerrno>
#include <iostream>
#include <new>
#include <string>

namespace {

enum ExitStatus { COMPLETE = 0, NOT_MEASURABLE = 1, BAD_INPUT = 2, WRITE_FAILED = 3, FAILED = 4 };

std::string describeWriteFailure(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS: return "accès refusé (dossier en lecture seule ou fichier verrouillé)";
        case ENOSPC: return "disque plein";
        case ENOENT:
        case ENOTDIR: return "dossier introuvable";
        case EISDIR: return "un dossier porte ce nom";
        default: return "écriture impossible";
    }
}

void reportWriteFailure(const std::string& name, int error, bool& writeFailed) {
    std::cerr << "section_measure : impossible d'écrire « " << name
              << " » : " << describeWriteFailure(error) << std::endl;
    writeFailed = true;
}

}  // namespace

int main(int argc, char** argv) {
    std::cout << "opencv version : " << CV_VERSION_MAJOR << "." << CV_VERSION_MINOR << std::endl;
    const std::string path = argc > 1 ? argv[1] : "section.jpg";

    bool writeFailed = false;
    const ImageWriter writeImage = [&writeFailed](const std::string& name, const cv::Mat& image) {
        errno = 0;
        bool written = false;
        try {
            written = cv::imwrite(name, image);
        } catch (const cv::Exception&) {
            written = false;
        }
        if (!written) reportWriteFailure(name, errno, writeFailed);
    };

    const char* stage = "lecture de l'image";
    try {
        const cv::Mat image = readScan(path);
        if (image.empty()) {
            std::cerr << "section_measure : impossible de lire « " << path << " » : "
                      << (isTruncatedJpeg(path)
                              ? "fichier JPEG tronqué (il s'arrête avant sa fin)"
                              : "fichier absent, illisible ou qui n'est pas une image")
                      << std::endl;
            return BAD_INPUT;
        }

        stage = "segmentation";
        const Segmentation segmentation = segmentSection(image, writeImage);
        cv::Mat annotated = image.clone();

        stage = "extraction du contour";
        const std::vector<cv::Point> contour =
            findSectionContour(segmentation.foreground, annotated, 10000.0);
        const std::vector<cv::Point> outline =
            removeConsecutiveDuplicates(getAllPointsOfContour(contour, image.size()));
        requireMeasurableOutline(outline);

        stage = "détection des angles et des creux";
        const Hollows hollows = detectCornersAndHollows(outline, annotated, writeImage);

        stage = "mesures";
        const SectionMeasurements measurements =
            measureFeatures(image, segmentation.sectionMask.size(), outline, hollows.hollows,
                            hollows.hollowIndices, hollows.hollowDepths, writeImage);

        stage = "rapport";
        errno = 0;
        if (!writeMeasurementReport(measurements)) {
            reportWriteFailure("mesures.csv", errno, writeFailed);
        }
    } catch (const SectionError& error) {
        if (error.isConsoleLine) {
            std::cout << error.what() << std::endl;
        } else {
            std::cerr << "section_measure : pas de section mesurable dans « " << path
                      << " » : " << error.what() << std::endl;
        }
        return NOT_MEASURABLE;
    } catch (const cv::Exception& error) {
        std::cerr << "section_measure : erreur d'OpenCV à l'étape « " << stage << " » sur « "
                  << path << " » : " << error.what() << std::endl;
        return FAILED;
    } catch (const std::bad_alloc&) {
        std::cerr << "section_measure : mémoire insuffisante à l'étape « " << stage << " » sur « "
                  << path << " »" << std::endl;
        return FAILED;
    } catch (const std::exception& error) {
        // Short of memory, OpenCV's thread pool fails with std::system_error rather than bad_alloc.
        std::cerr << "section_measure : erreur à l'étape « " << stage << " » sur « " << path
                  << " » : " << error.what() << std::endl;
        return FAILED;
    }
    return writeFailed ? WRITE_FAILED : COMPLETE;
}
