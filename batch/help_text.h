// What the batch programs' help texts are built with, and the facts both tell alike.
#pragma once

#include "stored/scan_folder.h"

#include <cstddef>
#include <string>

namespace plantscan::batch {

// Keeps two words on one line when wrapped.
inline constexpr char GLUE = '\x1f';

// Lines of at most `width` characters (not bytes: UTF-8), broken at spaces but not at GLUE.
std::string wrapped(const std::string& text, std::size_t width);

// Every status of the measuring program with its words, then the batch's own for a program
// that could not be started: "0 mesure complète ; ... ; 127 ... n'a pas pu être lancé".
std::string statusesInWords(const stored::FolderLayout& layout);

// The rule that marks a value, up to where the two helps part: "3,5 écarts robustes (1,4826 fois
// l'écart absolu médian, ou 1,2533 fois".
std::string markRuleNumbers();

// The stated resolutions that say something about a scan, "150 et 9600 dpi", and how far one
// may lie from the resolution measured at before it is flagged, in percent ("1").
std::string credibleResolutions();
std::string resolutionTolerancePercent();

}  // namespace plantscan::batch
