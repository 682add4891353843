#include "platform/folder_names.h"

#include <dirent.h>

#include <algorithm>

namespace quillo {

std::vector<std::string> SortedFolderNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace quillo
