// The run's files in the current folder: a file that cannot be written is named on `errors`
// with its cause, and the run goes on.
#pragma once

#include "section_measure/measurements.h"
#include "section_measure/section.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace plantscan::section {

// Names `name` and the cause on `errors` (`encoderMessage`, OpenCV's, when there is no system
// error), and sets `failed`.
void reportWriteFailure(const std::string& name, const std::error_code& error,
                        const std::string& encoderMessage, bool& failed, std::ostream& errors);

// Writes each image with cv::imwrite under its name; a failure is reported as above.
output::ImageWriter imageFileWriter(bool& failed, std::ostream& errors);

// Writes "mesures.csv"; a failure is reported as above.
void writeReportFile(const SectionMeasurements& measurements, bool& failed, std::ostream& errors);

// The run's images, encoded on `threads` - 1 threads of their own while the run goes on (with
// one thread, written by the caller as it hands each over, as imageFileWriter does). An image is
// kept as handed over, not copied; the files are written in the order given, each as soon as it and
// those before it are encoded, and failures are reported in that order once finish() has waited
// for every file. Encoding to memory then writing gives cv::imwrite's bytes.
class ImageFiles {
public:
    ImageFiles(int threads, bool& failed, std::ostream& errors);
    ~ImageFiles();
    ImageFiles(const ImageFiles&) = delete;
    ImageFiles& operator=(const ImageFiles&) = delete;

    output::ImageWriter writer();
    // Encodes what is left with the threads, waits for every file, then reports the failures.
    void finish();

private:
    struct Job {
        std::string name;
        cv::Mat image;
        std::vector<uchar> bytes;
        bool encoded = false;
        int error = -1;              // the errno of a failure (0: none given); -1 when written
        std::string encoderMessage;  // OpenCV's, when its encoder threw
    };
    void work();
    // Writes, in order, the files whose turn has come; called and returns with `lock` held.
    void writeReady(std::unique_lock<std::mutex>& lock);

    bool& failed_;
    std::ostream& errors_;
    std::vector<std::shared_ptr<Job>> given_;  // in the order given
    std::size_t toWrite_ = 0;                  // the first of them not written yet
    std::size_t toEncode_ = 0;                 // the first of them no thread took yet
    bool writing_ = false;                     // a thread is writing files
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::thread> threads_;
};

}  // namespace plantscan::section
