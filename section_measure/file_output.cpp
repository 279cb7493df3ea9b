#include "section_measure/file_output.h"

#include "image_output/image_file.h"
#include "plant_scan_tools/version.h"
#include "section_measure/output_files.h"
#include "section_measure/report.h"

#include <cerrno>

namespace plantscan::section {

// The command line takes no option, so the version is kept where `strings` finds it; the
// driver always links this file.
[[gnu::used]] static const char VERSION_MARK[] = "section_measure " PLANT_SCAN_TOOLS_VERSION;

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

void reportWriteFailure(const std::string& name, int error, bool& failed, std::ostream& errors) {
    errors << "section_measure : impossible d'écrire « " << name
           << " » : " << describeWriteFailure(error) << std::endl;
    failed = true;
}

output::ImageWriter imageFileWriter(bool& failed, std::ostream& errors) {
    return [&failed, &errors](const std::string& name, const cv::Mat& image) {
        if (const std::optional<output::ImageWriteFailure> failure =
                output::writeImageFile("", name, image))
            reportWriteFailure(name, failure->error, failed, errors);
    };
}

void writeReportFile(const SectionMeasurements& measurements, bool& failed, std::ostream& errors) {
    errno = 0;
    if (!writeMeasurementReport(measurements)) {
        reportWriteFailure(REPORT_FILE, errno, failed, errors);
    }
}

}  // namespace plantscan::section
