#include "section_measure/report.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <locale>
#include <sstream>

namespace {

// The report is read on Windows: line ends are CR LF whatever the platform writes.
constexpr const char* LINE_END = "\r\n";

void appendRow(std::string& text, const char* label, const std::array<double, 5>& values) {
    text += label;
    for (double value : values) text += formatDecimal(value, 2) + ";";
    text += LINE_END;
}

void appendSingle(std::string& text, const char* label, double value) {
    text += label;
    text += formatDecimal(value, 2);
    text += LINE_END;
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
    std::string text =
        "Mesure;Angle/creux 1;Angle/creux 2;Angle/creux 3;Angle/creux 4;Angle/creux 5";
    text += LINE_END;
    appendRow(text, "Rayon de courbure de l'angle (mm);", m.angleRadii);
    appendRow(text, "Rayon de courbure du creux (mm);", m.hollowRadii);
    appendRow(text, "Profondeur du creux (mm);", m.hollowDepths);
    appendRow(text, "Distance du creux avec le cercle circonscrit (mm);", m.hollowDistances);
    appendRow(text,
              "Ratio de la  distance du creux  avec le cercle circonscrit avec le rayon du "
              "cercle (%);",
              m.hollowRatios);
    appendSingle(text, "Largeur primocanne  (mm) : ;", m.sectionWidth);
    appendSingle(text, "Diamètre cercle circonscrit  (mm) : ;", m.circumscribedDiameter);
    appendSingle(text, "Diamètre cercle inscrit  (mm) : ;", m.inscribedDiameter);
    return replaceDotsWithCommas(text);
}

bool writeMeasurementReport(const SectionMeasurements& measurements) {
    const std::string text = formatMeasurementReport(measurements);
    std::ofstream file("mesures.csv", std::ios::out | std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    return !file.fail();
}
