#include "scan_input/scan_memory.h"

#include "platform/paths.h"
#include "scan_input/image_header.h"

bool refuseScanTooLarge(const std::string& path, const MemoryNeed& need, Language language,
                        std::ostream& errors, const std::string& program,
                        const std::string& batch) {
    const std::optional<cv::Size> size = readImageSizeFromHeader(pathFromUtf8(path));
    if (!size) return false;
    const MemoryVerdict verdict = checkMemoryOfThisProcess(pixelCount(*size), need);
    if (verdict.fits) return false;
    errors << memoryShortageMessage(verdict, path, language, program, batch) << std::endl;
    return true;
}
