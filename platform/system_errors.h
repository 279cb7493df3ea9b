// What a failed system call says to a person, in the language of the sentence it ends: the
// causes one can act on (a missing folder, no permission, a full disk), named alike on both
// systems, where the system's own text would come in English (Linux) or in the language of the
// Windows installation, and sometimes as a bare number.
#pragma once

#include <string>
#include <system_error>

namespace plantscan::platform {

// The errno condition of `error`: Windows' own codes, which its file-system calls give, mapped
// to theirs; an error without one as it is.
std::error_condition portableCondition(const std::error_code& error);

// "fichier ou dossier introuvable", "accès refusé (droits insuffisants, ou fichier verrouillé)";
// "erreur du système n° N" for a code it does not name, "cause inconnue" for no code.
std::string frenchErrorWords(const std::error_code& error);
// The same in English, for leaflet_crop and the Python module.
std::string englishErrorWords(const std::error_code& error);

// errno, as the C library sets it.
inline std::error_code errnoCode(int error) { return {error, std::generic_category()}; }

}  // namespace plantscan::platform
