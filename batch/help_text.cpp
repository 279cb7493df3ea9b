#include "batch/help_text.h"

#include "page/french_text.h"
#include "page/statistics.h"
#include "scan_input/resolution.h"

#include <algorithm>
#include <vector>

namespace plantscan::batch {

std::string wrapped(const std::string& text, std::size_t width) {
    std::string lines, line;
    std::size_t length = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        const auto characters = static_cast<std::size_t>(
            std::count_if(word.begin(), word.end(), [](char c) { return (c & 0xC0) != 0x80; }));
        if (!line.empty() && length + 1 + characters > width) {
            lines += line + "\n";
            line.clear();
            length = 0;
        }
        line += (line.empty() ? "" : " ") + word;
        std::replace(line.begin(), line.end(), GLUE, ' ');
        length += (length == 0 ? 0 : 1) + characters;
        start = end + 1;
    }
    return lines + line;
}

std::string statusesInWords(const stored::FolderLayout& layout) {
    std::string words;
    std::vector<int> statuses;
    for (const auto& [status, meaning] : layout.statusWords) statuses.push_back(status);
    statuses.push_back(stored::NOT_STARTED);
    for (const int status : statuses) {
        words += (words.empty() ? "" : " ; ") + std::to_string(status) + GLUE +
                 page::exitStatusWords(status, layout);
    }
    return words;
}

std::string markRuleNumbers() {
    return page::frenchNumber(page::OUTLIER_LIMIT) + " écarts robustes (" +
           page::frenchNumber(page::MEDIAN_DEVIATION_SCALE, 5) +
           " fois l'écart absolu médian, ou " + page::frenchNumber(page::MEAN_DEVIATION_SCALE, 5) +
           " fois";
}

std::string credibleResolutions() {
    return page::frenchNumber(input::CREDIBLE_DPI_LOW, 6) + " et " +
           page::frenchNumber(input::CREDIBLE_DPI_HIGH, 6) + " dpi";
}

std::string resolutionTolerancePercent() {
    return page::frenchNumber(100 * input::RESOLUTION_TOLERANCE);
}

}  // namespace plantscan::batch
