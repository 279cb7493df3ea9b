// leaflet_crop: cuts every leaflet of a scan out as an upright crop into "PETALES/".
#include "detection.h"
#include "plant_scan_tools/version.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "scan_input/scan_memory.h"
#include "upright_crop.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <system_error>
#include <vector>

namespace {

// The command line takes no option, so the version is kept where `strings` finds it.
[[gnu::used]] const char VERSION_MARK[] = "leaflet_crop " PLANT_SCAN_TOOLS_VERSION;

enum ExitStatus {
    kComplete = 0,
    kUnreadableInput = -1,
    kWriteFailed = 3,
    kProcessingFailed = 4,
};

// Creates the missing folders of the file's path first, so that no crop is lost to them.
bool writeImage(const std::string& fileName, const cv::Mat& image) {
    const std::filesystem::path folder = pathFromUtf8(fileName).parent_path();
    if (!folder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) {
            std::cerr << "Cannot write \"" << fileName << "\": cannot create the folder \""
                      << utf8FromPath(folder) << "\": " << error.message() << std::endl;
            return false;
        }
    }
    std::string cause = "the image encoder failed";
    try {
        errno = 0;
        if (cv::imwrite(fileName, image)) return true;
        if (errno != 0) cause = std::strerror(errno);
    } catch (const cv::Exception& e) {
        cause = e.what();
    }
    std::cerr << "Cannot write \"" << fileName << "\": " << cause << std::endl;
    return false;
}

int cropLeaflets(const std::string& inputPath) {
    if (refuseScanTooLarge(inputPath, LEAFLET_CROP_NEED, Language::ENGLISH, std::cerr))
        return kProcessingFailed;
    const cv::Mat source = readScan(inputPath);
    if (source.empty()) {
        std::cout << "Cannot read the image: " << inputPath << std::endl;
        return kUnreadableInput;
    }

    // A failed write is reported at once; the run goes on and the status tells at the end.
    bool writeFailed = false;
    const ImageWriter write = [&writeFailed](const std::string& fileName, const cv::Mat& image) {
        if (!writeImage(fileName, image)) writeFailed = true;
    };

    const cv::Mat blackAndWhite = binarizeScan(source, write);
    const LeafletBoxes found = findLeafletBoxes(blackAndWhite);
    for (int m = 0; m < static_cast<int>(found.boxes.size()); ++m)
        write(cropFileName(nameUnderFolder(inputPath), m), cropUpright(source, found.boxes[m]));
    write("drawing.jpg", found.drawing);
    return writeFailed ? kWriteFailed : kComplete;
}

}  // namespace

int main(int argc, char** argv) {
    // The script's outcome changes nothing in the run.
    const int scriptStatus = std::system("update.bat");
    static_cast<void>(scriptStatus);
    // After the script, which shows its own text in the console's own code page.
    showUtf8OnConsole();

    std::cout << "opencv version : " << CV_MAJOR_VERSION << "." << CV_MINOR_VERSION << std::endl;
    const std::vector<std::string> arguments = commandLineArguments(argc, argv);
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
