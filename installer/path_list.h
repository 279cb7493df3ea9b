// A PATH's list of folders, as Windows reads it: ";" between folders, a folder's case and a
// backslash at its end of no account, quotes around a folder holding a ";".
#pragma once

#include <string>

namespace plantscan::installer {

// `path` with `folder` at its end, unless it holds it already.
std::wstring withFolder(const std::wstring& path, const std::wstring& folder);

// `path` without `folder`, wherever and however often it stands; the other folders as they were.
std::wstring withoutFolder(const std::wstring& path, const std::wstring& folder);

}  // namespace plantscan::installer
