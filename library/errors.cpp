#include "plantscan/errors.h"

namespace plantscan {

namespace {

std::string unreadableMessage(const std::string& path, UnreadableScanError::Cause cause) {
    const char* why = "fichier illisible ou qui n'est pas une image";
    if (cause == UnreadableScanError::Cause::MISSING) why = "fichier absent";
    if (cause == UnreadableScanError::Cause::TRUNCATED_JPEG)
        why = "fichier JPEG tronqué (il s'arrête avant sa fin)";
    return "impossible de lire « " + path + " » : " + why;
}

}  // namespace

UnreadableScanError::UnreadableScanError(const std::string& scanPath, Cause why)
    : Error(unreadableMessage(scanPath, why)), path(scanPath), cause(why) {}

}  // namespace plantscan
