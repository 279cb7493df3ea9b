#include "batch/command_line.h"

#include "plant_scan_tools/version.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace plantscan::batch {

namespace {

// The whole text must be a number in [minimum, maximum].
std::optional<long> parseNumber(const std::string& text, long minimum, long maximum) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < minimum || value > maximum) return std::nullopt;
    return value;
}

std::optional<std::string> applyJobs(BatchOptions& options, const std::string& value) {
    const std::optional<long> jobs = parseNumber(value, 1, 4096);
    if (!jobs)
        return "-j attend un nombre de mesures simultanées entre 1 et 4096, pas « " + value + " »";
    options.jobs = static_cast<int>(*jobs);
    return std::nullopt;
}

std::optional<std::string> applyDpi(BatchOptions& options, const std::string& value) {
    options.dpi = input::parseDpi(value);
    if (!options.dpi) {
        return "--dpi attend une résolution entière entre " + std::to_string(input::LOWEST_DPI) +
               " et " + std::to_string(input::HIGHEST_DPI) + ", pas « " + value + " »";
    }
    return std::nullopt;
}

std::optional<std::string> applyShard(BatchOptions& options, const std::string& value) {
    const std::size_t slash = value.find('/');
    const std::string error = "--shard attend K/N (N au moins 1), pas « " + value + " »";
    if (slash == std::string::npos) return error;
    const std::optional<long> shard = parseNumber(value.substr(0, slash), 0, LONG_MAX);
    const std::optional<long> count = parseNumber(value.substr(slash + 1), 1, LONG_MAX);
    if (!shard || !count) return error;
    options.shard = shard;
    options.shardCount = *count;
    return std::nullopt;
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments,
                                   const std::string& defaultOutFolder, bool takesDpi) {
    BatchOptions options;
    options.outFolder = defaultOutFolder;
    std::vector<std::string> positional;
    const auto fail = [](const std::string& error) {
        return ParsedCommandLine{std::nullopt, error};
    };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasNext = i + 1 < arguments.size();
        std::optional<std::string> error;
        if (argument == "-h" || argument == "--help") {
            options.help = true;
            return ParsedCommandLine{options, ""};
        } else if (argument == "--version") {
            options.version = true;
            return ParsedCommandLine{options, ""};
        } else if (argument == "--force") {
            options.force = true;
        } else if (argument == "--merge") {
            options.merge = true;
        } else if (argument == "-j" || argument == "--shard" || (takesDpi && argument == "--dpi")) {
            if (!hasNext) return fail(argument + " attend une valeur");
            const std::string& value = arguments[++i];
            error = argument == "-j"        ? applyJobs(options, value)
                    : argument == "--shard" ? applyShard(options, value)
                                            : applyDpi(options, value);
        } else if (argument.rfind("-j", 0) == 0) {
            error = applyJobs(options, argument.substr(2));
        } else if (argument.size() > 1 && argument[0] == '-') {
            return fail("option inconnue « " + argument + " »");
        } else {
            positional.push_back(argument);
        }
        if (error) return fail(*error);
    }

    if (options.merge) {
        if (options.force || options.jobs || options.shard || options.dpi) {
            return fail(std::string("--merge ne se combine pas avec -j, --force") +
                        (takesDpi ? ", --shard ou --dpi" : " ou --shard"));
        }
        if (positional.size() != 1) return fail("--merge attend un seul dossier, SORTIE");
        options.outFolder = positional[0];
        return ParsedCommandLine{options, ""};
    }
    if (positional.empty()) return fail("il manque le dossier des scans");
    if (positional.size() > 2) return fail("trop d'arguments : « " + positional[2] + " »");
    options.scansFolder = positional[0];
    if (positional.size() == 2) options.outFolder = positional[1];
    return ParsedCommandLine{options, ""};
}

std::string versionText(const std::string& batchName) {
    return batchName + " " PLANT_SCAN_TOOLS_VERSION " (OpenCV " + cv::getVersionString() + ")\n";
}

}  // namespace plantscan::batch
