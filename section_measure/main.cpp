// section_measure [INPUT]: measures INPUT (default "section.jpg") into the current folder.
#include "platform/console.h"
#include "platform/paths.h"
#include "resources/resources.h"
#include "scan_input/scan_memory.h"
#include "section_measure/file_output.h"
#include "section_measure/output_files.h"
#include "section_measure/pipeline.h"

#include <cstdlib>
#include <iostream>
#include <new>
#include <opencv2/core/utility.hpp>
#include <string>
#include <vector>

namespace plantscan::section {

namespace {

int run(int argc, char** argv) {
    platform::showUtf8OnConsole();
    cv::setNumThreads(-1);  // only then does OpenCV read OPENCV_FOR_THREADS_NUM, set by the batch
    // Alone, a scan takes the cores this process may use, not the machine's.
    if (!std::getenv("OPENCV_FOR_THREADS_NUM")) cv::setNumThreads(resources::availableCores());
    std::cout << "opencv version : " << CV_VERSION_MAJOR << "." << CV_VERSION_MINOR << std::endl;
    const std::vector<std::string> arguments = platform::commandLineArguments(argc, argv);
    const std::string path = arguments.size() > 1 ? arguments[1] : "section.jpg";
    const char* stage = "lecture de l'image";
    bool writeFailed = false;
    ImageFiles images(cv::getNumThreads(), writeFailed, std::cerr);
    const RunOutputs outputs{std::cout, images.writer(),
                             [&stage](const char* next) { stage = next; }};
    try {
        if (input::refuseScanTooLarge(path, resources::SECTION_MEASURE_NEED,
                                      resources::Language::FRENCH, std::cerr))
            return FAILED;
        const cv::Mat image = input::readScan(path);
        if (image.empty()) {
            std::cerr << "section_measure : " << input::unreadableScanMessage(path) << std::endl;
            return BAD_INPUT;
        }
        const SectionMeasurements measurements = measureScan(image, outputs).measurements;
        stage = "rapport";
        images.finish();  // the report is written last
        writeReportFile(measurements, writeFailed, std::cerr);
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
        // Short of memory, OpenCV's thread pool throws std::system_error, not bad_alloc.
        std::cerr << "section_measure : erreur à l'étape « " << stage << " » sur « " << path
                  << " » : " << error.what() << std::endl;
        return FAILED;
    }
    return writeFailed ? WRITE_FAILED : COMPLETE;
}

}  // namespace

}  // namespace plantscan::section

int main(int argc, char** argv) { return plantscan::section::run(argc, argv); }
