#include "section_measure/file_output.h"

#include "image_output/image_file.h"
#include "platform/machine.h"
#include "platform/system_errors.h"
#include "section_measure/output_files.h"
#include "section_measure/report.h"

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace plantscan::section {

void reportWriteFailure(const std::string& name, const std::error_code& error,
                        const std::string& encoderMessage, bool& failed, std::ostream& errors) {
    errors << "section_measure : impossible d'écrire « " << name << " » : ";
    if (error || encoderMessage.empty())
        errors << platform::frenchErrorWords(error);
    else
        errors << "l'encodeur d'image a échoué (" << encoderMessage << ")";
    errors << std::endl;
    failed = true;
}

output::ImageWriter imageFileWriter(bool& failed, std::ostream& errors) {
    return [&failed, &errors](const std::string& name, const cv::Mat& image) {
        if (const std::optional<output::ImageWriteFailure> failure =
                output::writeImageFile("", name, image))
            reportWriteFailure(name, failure->error, failure->encoderMessage, failed, errors);
    };
}

void writeReportFile(const SectionMeasurements& measurements, bool& failed, std::ostream& errors) {
    errno = 0;
    if (!writeMeasurementReport(measurements)) {
        reportWriteFailure(REPORT_FILE, platform::errnoCode(errno), "", failed, errors);
    }
}

namespace {

// At most one thread per image of a run.
constexpr int MOST_IMAGE_THREADS = 9;

// The bytes of an encoded image into the file `name`; -1, or the errno of the failure.
int writeBytes(const std::string& name, const std::vector<uchar>& bytes) {
    errno = 0;
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (!file) return errno;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int error = errno;
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    return written ? -1 : error;
}

}  // namespace

ImageFiles::ImageFiles(int threads, bool& failed, std::ostream& errors)
    : failed_(failed), errors_(errors) {
    const int own = std::min(threads - 1, MOST_IMAGE_THREADS);
    // Encoding can wait: the threads take the cores the measuring leaves idle, as while the
    // flow of grabCut runs on one.
    for (int i = 0; i < own; ++i) {
        threads_.emplace_back([this] {
            platform::yieldCoresToOtherThreads();
            work();
        });
    }
}

ImageFiles::~ImageFiles() { finish(); }

output::ImageWriter ImageFiles::writer() {
    if (threads_.empty()) return imageFileWriter(failed_, errors_);
    return [this](const std::string& name, const cv::Mat& image) {
        auto job = std::make_shared<Job>();
        job->name = name;
        job->image = image;  // not a copy: a stage leaves what it handed over
        const std::lock_guard<std::mutex> lock(mutex_);
        given_.push_back(job);
        changed_.notify_all();
    };
}

void ImageFiles::work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return toEncode_ < given_.size() || stopping_; });
        if (toEncode_ == given_.size()) return;
        const std::shared_ptr<Job> job = given_[toEncode_++];
        lock.unlock();
        bool encoded = false;
        try {
            encoded = cv::imencode(job->name.substr(job->name.rfind('.')), job->image, job->bytes);
        } catch (const cv::Exception& e) {
            job->encoderMessage = e.what();
        } catch (const std::exception&) {
            encoded = false;  // no memory left: the file is not written
        }
        job->image.release();
        lock.lock();
        job->encoded = true;
        if (!encoded) job->error = 0;
        writeReady(lock);
    }
}

void ImageFiles::writeReady(std::unique_lock<std::mutex>& lock) {
    if (writing_) return;  // that thread writes this one too when its turn comes
    writing_ = true;
    while (toWrite_ < given_.size() && given_[toWrite_]->encoded) {
        const std::shared_ptr<Job> job = given_[toWrite_];
        lock.unlock();
        if (job->error < 0) job->error = writeBytes(job->name, job->bytes);
        job->bytes = std::vector<uchar>();
        lock.lock();
        ++toWrite_;
    }
    writing_ = false;
}

void ImageFiles::finish() {
    if (threads_.empty()) return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    work();  // the caller has nothing else to do: it encodes too
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
    for (const std::shared_ptr<Job>& job : given_) {
        if (job->error >= 0) {
            const std::error_code error =
                job->error > 0 ? platform::errnoCode(job->error) : std::error_code();
            reportWriteFailure(job->name, error, job->encoderMessage, failed_, errors_);
        }
    }
    given_.clear();
}

}  // namespace plantscan::section
