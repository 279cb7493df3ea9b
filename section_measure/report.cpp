#include "section_measure/report.h"

#include "section_measure/report_layout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <locale>
#include <sstream>
#include <vector>

namespace plantscan::section {

namespace {

// The report is read on Windows: line ends are CR LF whatever the platform writes.
constexpr const char* LINE_END = "\r\n";

// The values of the report in the order of its lines.
std::vector<double> reportValues(const SectionMeasurements& m) {
    std::vector<double> values;
    for (const SectionMeasurements::PerLobe* row :
         {&m.angleRadii, &m.hollowRadii, &m.hollowDepths, &m.hollowDistances, &m.hollowRatios}) {
        values.insert(values.end(), row->begin(), row->end());
    }
    values.insert(values.end(), {m.sectionWidth, m.circumscribedDiameter, m.inscribedDiameter});
    return values;
}

}  // namespace

std::string formatDecimal(double value, int decimals) {
    const double factor = std::pow(10.0, decimals);
    // std::round keeps the sign of a value rounded to zero: -0.004 gives "-0".
    const double rounded = std::round(value * factor) / factor;
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream << rounded;
    return replaceDotsWithCommas(stream.str());
}

std::string replaceDotsWithCommas(std::string text) {
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

std::string formatMeasurementReport(const SectionMeasurements& m) {
    const std::vector<double> values = reportValues(m);
    std::size_t next = 0;
    std::string text = REPORT_HEADER;
    text += LINE_END;
    for (const ReportLine& line : REPORT_LINES) {
        text += line.label;
        text += ";";
        for (int v = 0; v < line.values; ++v) {
            text += formatDecimal(values[next++], 2);
            if (line.values == LOBE_COUNT) text += ";";
        }
        text += LINE_END;
    }
    return replaceDotsWithCommas(text);
}

bool writeMeasurementReport(const SectionMeasurements& measurements, const std::string& path) {
    const std::string text = formatMeasurementReport(measurements);
    std::ofstream file(path, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    return !file.fail();
}

}  // namespace plantscan::section
