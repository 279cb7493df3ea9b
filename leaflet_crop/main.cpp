// leaflet_crop: cuts every leaflet of a scan out as an upright crop into "PETALES/".
#include "image_output/image_file.h"
#include "leaflet_crop/output_files.h"
#include "leaflet_crop/pipeline.h"
#include "leaflet_crop/upright_crop.h"
#include "plant_scan_tools/version.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "scan_input/scan_memory.h"

#include <opencv2/core.hpp>

#include <cstdlib>
#include <iostream>
#include <new>
#include <string>
#include <vector>

namespace plantscan::leaflet {

namespace {

// The command line takes no option, so the version is kept where `strings` finds it.
[[gnu::used]] const char VERSION_MARK[] = "leaflet_crop " PLANT_SCAN_TOOLS_VERSION;

enum ExitStatus {
    kComplete = 0,
    kUnreadableInput = -1,
    kWriteFailed = 3,
    kProcessingFailed = 4,
};

// Says at once what kept an image from being written.
bool writeImage(const std::string& fileName, const cv::Mat& image) {
    const std::optional<output::ImageWriteFailure> failure =
        output::writeImageFile("", fileName, image);
    if (!failure) return true;
    std::cerr << "Cannot write \"" << fileName << "\": ";
    if (!failure->folder.empty())
        std::cerr << "cannot create the folder \"" << failure->folder << "\": ";
    std::cerr << (failure->cause.empty() ? "the image encoder failed" : failure->cause)
              << std::endl;
    return false;
}

int cropLeaflets(const std::string& inputPath) {
    if (input::refuseScanTooLarge(inputPath, resources::LEAFLET_CROP_NEED,
                                  resources::Language::ENGLISH, std::cerr))
        return kProcessingFailed;
    const cv::Mat source = input::readScan(inputPath);
    if (source.empty()) {
        std::cout << "Cannot read the image: " << inputPath << std::endl;
        return kUnreadableInput;
    }

    // A failed write is reported at once; the run goes on and the status tells at the end.
    bool writeFailed = false;
    const output::ImageWriter write = [&writeFailed](const std::string& fileName,
                                                     const cv::Mat& image) {
        if (!writeImage(fileName, image)) writeFailed = true;
    };

    forEachLeaflet(source, write, [&](const FoundLeaflet& leaflet) {
        write(cropFileName(platform::nameUnderFolder(inputPath), leaflet.index),
              cropUpright(source, leaflet.box));
    });
    return writeFailed ? kWriteFailed : kComplete;
}

}  // namespace

namespace {

int run(int argc, char** argv) {
    // The script's outcome changes nothing in the run.
    const int scriptStatus = std::system("update.bat");
    static_cast<void>(scriptStatus);
    // After the script, which shows its own text in the console's own code page.
    platform::showUtf8OnConsole();

    std::cout << "opencv version : " << CV_MAJOR_VERSION << "." << CV_MINOR_VERSION << std::endl;
    const std::vector<std::string> arguments = platform::commandLineArguments(argc, argv);
    const std::string inputPath = arguments.size() > 1 ? arguments[1] : "leaflet.jpg";
    try {
        return cropLeaflets(inputPath);
    } catch (const cv::Exception& e) {
        if (e.code == cv::Error::StsNoMem)
            std::cerr << "Out of memory while processing \"" << inputPath << "\": " << e.what()
                      << std::endl;
        else
            std::cerr << "OpenCV error while processing \"" << inputPath << "\": " << e.what()
                      << std::endl;
    } catch (const std::bad_alloc&) {
        std::cerr << "Out of memory while processing \"" << inputPath << "\"" << std::endl;
    } catch (const std::exception& e) {
        // Short of memory, the thread pool under OpenCV fails this way too.
        std::cerr << "Error while processing \"" << inputPath << "\": " << e.what() << std::endl;
    }
    return kProcessingFailed;
}

}  // namespace

}  // namespace plantscan::leaflet

int main(int argc, char** argv) { return plantscan::leaflet::run(argc, argv); }
