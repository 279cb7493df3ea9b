#include "scan_input/scan_memory.h"

#include "platform/paths.h"
#include "scan_input/image_header.h"

namespace plantscan::input {

std::optional<std::string> scanRefusal(const std::string& path, const resources::MemoryNeed& need,
                                       resources::Language language, const std::string& program,
                                       const std::string& batch) {
    const std::optional<cv::Size> size = readImageSizeFromHeader(platform::pathFromUtf8(path));
    if (!size) return std::nullopt;
    return resources::memoryRefusal(pixelCount(*size), need, path, language, program, batch);
}

bool refuseScanTooLarge(const std::string& path, const resources::MemoryNeed& need,
                        resources::Language language, std::ostream& errors,
                        const std::string& program, const std::string& batch) {
    const std::optional<std::string> refusal = scanRefusal(path, need, language, program, batch);
    if (refusal) errors << *refusal << std::endl;
    return refusal.has_value();
}

}  // namespace plantscan::input
