#include "platform/system_errors.h"

namespace plantscan::platform {

// The system's codes are errno's.
std::error_condition portableCondition(const std::error_code& error) {
    return error.default_error_condition();
}

}  // namespace plantscan::platform
