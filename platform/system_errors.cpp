#include "platform/system_errors.h"

#include <cerrno>

namespace plantscan::platform {

namespace {

// The words for one or two codes (a second 0 when there is one).
struct ErrorWords {
    int errors[2];
    const char* french;
    const char* english;
};

const char* const LOCKED_FR = "accès refusé (droits insuffisants, ou fichier verrouillé)";
const char* const LOCKED_EN = "permission denied (not enough rights, or the file is locked)";

const ErrorWords WORDS[] = {
    {{ENOENT}, "fichier ou dossier introuvable", "no such file or folder"},
    {{ENOTDIR}, "une partie du chemin n'est pas un dossier", "a part of the path is not a folder"},
    {{EISDIR}, "un dossier porte ce nom", "a folder has this name"},
    {{EACCES, EPERM}, LOCKED_FR, LOCKED_EN},
    {{EROFS}, "disque ou dossier en lecture seule", "read-only disk or folder"},
    {{ENOSPC}, "disque plein", "disk full"},
    {{EEXIST}, "un fichier porte déjà ce nom", "a file already has this name"},
    {{ENOTEMPTY}, "dossier non vide", "folder not empty"},
    {{ENAMETOOLONG}, "nom trop long", "name too long"},
    {{EMFILE, ENFILE}, "trop de fichiers ouverts", "too many open files"},
    {{EIO}, "erreur de lecture ou d'écriture du disque", "disk read or write error"},
    {{EBUSY, ETXTBSY}, "fichier utilisé par un autre programme", "file in use by another program"},
    {{ELOOP}, "trop de liens symboliques", "too many symbolic links"},
    {{EXDEV}, "déplacement impossible d'un disque à un autre", "cannot move across disks"},
    {{ENOMEM}, "mémoire insuffisante", "out of memory"},
    {{EAGAIN}, "ressources du système épuisées (mémoire ou fils d'exécution)",
     "system resources exhausted (memory or threads)"},
    {{EINVAL}, "nom ou argument invalide", "invalid name or argument"},
#ifdef EDQUOT
    {{EDQUOT}, "quota de disque dépassé", "disk quota exceeded"},
#endif
};

std::string errorWords(const std::error_code& error, bool french) {
    if (!error) return french ? "cause inconnue" : "unknown cause";
    const std::error_condition condition = portableCondition(error);
    if (condition.category() == std::generic_category()) {
        for (const ErrorWords& words : WORDS) {
            const int code = condition.value();
            if (words.errors[0] == code || (words.errors[1] != 0 && words.errors[1] == code))
                return french ? words.french : words.english;
        }
    }
    return (french ? "erreur du système n° " : "system error ") + std::to_string(error.value());
}

}  // namespace

std::string frenchErrorWords(const std::error_code& error) { return errorWords(error, true); }

std::string englishErrorWords(const std::error_code& error) { return errorWords(error, false); }

}  // namespace plantscan::platform
