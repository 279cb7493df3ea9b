#include "section_measure/file_output.h"

#include "image_output/image_file.h"
#include "platform/system_errors.h"
#include "section_measure/output_files.h"
#include "section_measure/report.h"

#include <cerrno>

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

}  // namespace plantscan::section
