#include "batch/shell_quoting.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace plantscan::batch {

namespace {

bool isSafeInShell(unsigned char c) {
    return std::isalnum(c) != 0 || c >= 0x80 ||
           std::string("_./:=@%+,-").find(c) != std::string::npos;
}

std::string quoteForShell(const std::string& argument) {
    if (!argument.empty() && std::all_of(argument.begin(), argument.end(), [](char c) {
            return isSafeInShell(static_cast<unsigned char>(c));
        })) {
        return argument;
    }
    const bool control = std::any_of(argument.begin(), argument.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    if (!control) {
        std::string quoted = "'";
        for (const char c : argument)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted + "'";
    }
    // Bash's $'...' keeps line breaks out of the record's single line.
    std::string quoted = "$'";
    for (const char c : argument) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\r') {
            quoted += "\\r";
        } else if (c == '\t') {
            quoted += "\\t";
        } else if (c == '\\' || c == '\'') {
            quoted += std::string("\\") + c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

}  // namespace

std::string commandLineText(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        text += (text.empty() ? "" : " ") + quoteForShell(argument);
    }
    return text;
}

}  // namespace plantscan::batch
