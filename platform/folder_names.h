#pragma once
// The names in a folder, for the readers of other programs' folders.
#include <string>
#include <vector>

namespace quillo {

// The names of `folder`'s entries that do not start with '.', in byte
// order; empty when the folder cannot be read.
std::vector<std::string> SortedFolderNames(const std::string& folder);

}  // namespace quillo
