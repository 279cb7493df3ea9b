// UTF-8, which the programs hold, and UTF-16, which Windows' wide functions take (Windows only).
#pragma once

#include <string>

std::wstring wideFromUtf8(const std::string& utf8);
std::string utf8FromWide(const std::wstring& wide);
