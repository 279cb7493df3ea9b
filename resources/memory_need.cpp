#include "resources/memory_need.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace plantscan::resources {

namespace {

constexpr std::uint64_t MEGABYTE = 1024 * 1024;

// Rounded up, so that "needs 301 MB, 300 MB available" never reads "needs 300, 300 available".
std::string megabytesUp(std::uint64_t bytes) {
    return std::to_string((bytes + MEGABYTE - 1) / MEGABYTE);
}

std::string megabytesDown(std::uint64_t bytes) { return std::to_string(bytes / MEGABYTE); }

std::string frenchLimit(MemoryLimit limit, const std::string& batch) {
    switch (limit) {
        case MemoryLimit::AVAILABLE: return "mémoire disponible de la machine";
        case MemoryLimit::GROUP: return groupLimitName().french;
        case MemoryLimit::PROCESS: return processLimitName().french;
        case MemoryLimit::SHARE: return "part de mémoire accordée par " + batch;
        case MemoryLimit::NONE: break;
    }
    return "aucune limite";
}

const char* englishLimit(MemoryLimit limit) {
    switch (limit) {
        case MemoryLimit::AVAILABLE: return "memory available on the machine";
        case MemoryLimit::GROUP: return groupLimitName().english;
        case MemoryLimit::PROCESS: return processLimitName().english;
        case MemoryLimit::SHARE: return "memory share granted by the batch";
        case MemoryLimit::NONE: break;
    }
    return "no limit";
}

}  // namespace

std::optional<std::uint64_t> parseMemoryShare(const char* text) {
    if (text == nullptr || !std::isdigit(static_cast<unsigned char>(*text))) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return value;
}

MemoryVerdict checkMemory(std::uint64_t pixels, const MemoryNeed& need, const MemoryRoom& room,
                          std::optional<std::uint64_t> share) {
    MemoryVerdict verdict;
    verdict.needed = need.bytesFor(pixels);
    const auto consider = [&verdict](std::optional<std::uint64_t> left, MemoryLimit limit) {
        if (!left || (verdict.limit != MemoryLimit::NONE && *left >= verdict.available)) return;
        verdict.available = *left;
        verdict.limit = limit;
    };
    // The need's fixed part counts what the process holds at start, which MemAvailable and a
    // cgroup's usage have already taken off: given back here, or it would be counted twice. Only
    // its anonymous memory: its libraries' pages count in its peak too, but whether the cgroup
    // holds them depends on who read them first, so they stay a margin.
    const auto withHeld = [&room](std::optional<std::uint64_t> left) {
        return left ? std::optional<std::uint64_t>(*left + room.held.value_or(0)) : left;
    };
    if (share) {
        consider(share, MemoryLimit::SHARE);
    } else {
        consider(withHeld(room.available), MemoryLimit::AVAILABLE);
        consider(withHeld(room.groupLeft), MemoryLimit::GROUP);
    }
    consider(room.processLeft, MemoryLimit::PROCESS);
    verdict.fits = verdict.limit == MemoryLimit::NONE || verdict.needed <= verdict.available;
    return verdict;
}

std::optional<std::uint64_t> memoryShareOfThisProcess() {
    const char* share = std::getenv(MEMORY_SHARE_VARIABLE);
    return parseMemoryShare(share != nullptr ? share : std::getenv(OLDER_MEMORY_SHARE_VARIABLE));
}

MemoryVerdict checkMemoryOfThisProcess(std::uint64_t pixels, const MemoryNeed& need) {
    return checkMemory(pixels, need, probeMemoryRoom(), memoryShareOfThisProcess());
}

std::optional<std::string> memoryRefusal(std::uint64_t pixels, const MemoryNeed& need,
                                         const std::string& scanName, Language language,
                                         const std::string& program, const std::string& batch) {
    const MemoryVerdict verdict = checkMemoryOfThisProcess(pixels, need);
    if (verdict.fits) return std::nullopt;
    return memoryShortageMessage(verdict, scanName, language, program, batch);
}

std::string memoryShortageMessage(const MemoryVerdict& verdict, const std::string& scanPath,
                                  Language language, const std::string& program,
                                  const std::string& batch) {
    if (language == Language::FRENCH) {
        return program + " : mémoire insuffisante pour « " + scanPath +
               " » : l'image demande environ " + megabytesUp(verdict.needed) + " Mo et " +
               megabytesDown(verdict.available) + " Mo sont disponibles (" +
               frenchLimit(verdict.limit, batch) +
               ") ; mesurez une image plus petite, donnez plus de mémoire (par exemple --mem "
               "d'une tâche SLURM) ou lancez moins de mesures à la fois (" +
               batch + " -j)";
    }
    return "Insufficient memory for \"" + scanPath + "\": the scan needs about " +
           megabytesUp(verdict.needed) + " MB and " + megabytesDown(verdict.available) +
           " MB are available (" + englishLimit(verdict.limit) +
           "); use a smaller scan, give the run more memory (for example a cluster job's --mem) "
           "or run fewer scans at once";
}

}  // namespace plantscan::resources
