#include "scan_input/scan_memory.h"

#include "platform/paths.h"
#include "scan_input/image_header.h"

namespace plantscan::input {

bool refuseScanTooLarge(const std::string& path, const resources::MemoryNeed& need,
                        resources::Language language, std::ostream& errors,
                        const std::string& program, const std::string& batch) {
    const std::optional<cv::Size> size = readImageSizeFromHeader(platform::pathFromUtf8(path));
    if (!size) return false;
    const resources::MemoryVerdict verdict =
        resources::checkMemoryOfThisProcess(pixelCount(*size), need);
    if (verdict.fits) return false;
    errors << resources::memoryShortageMessage(verdict, path, language, program, batch)
           << std::endl;
    return true;
}

}  // namespace plantscan::input
