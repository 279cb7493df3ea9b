#include "plantscan/errors.h"

#include "scan_input/scan_input.h"

namespace plantscan {

namespace {

std::string unreadableMessage(const std::string& path, UnreadableScanError::Cause cause) {
    using Cause = UnreadableScanError::Cause;
    return input::unreadableScanMessage(path, cause == Cause::MISSING ? input::Unreadable::MISSING
                                              : cause == Cause::TRUNCATED_JPEG
                                                  ? input::Unreadable::TRUNCATED_JPEG
                                                  : input::Unreadable::NOT_AN_IMAGE);
}

}  // namespace

UnreadableScanError::UnreadableScanError(const std::string& scanPath, Cause why)
    : Error(unreadableMessage(scanPath, why)), path(scanPath), cause(why) {}

}  // namespace plantscan
