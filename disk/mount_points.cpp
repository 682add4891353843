#include "disk/mount_points.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quillo {
namespace {

// mountinfo writes space, tab, newline and backslash as \ and three octal digits.
bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

std::string DecodeOctalEscapes(const std::string& field) {
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctalDigit(field[i + 1]) &&
            IsOctalDigit(field[i + 2]) && IsOctalDigit(field[i + 3])) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

std::string ReadText(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

std::vector<std::string> MountPointsIn(const std::string& mountinfo,
                                       const std::vector<std::string>& devices) {
    std::vector<std::string> mounts;
    std::istringstream lines(mountinfo);
    for (std::string line; std::getline(lines, line);) {
        // mount ID, parent ID, major:minor, root, mount point, ...
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint;
        if (!(fields >> id >> parent >> device >> root >> mountPoint)) continue;
        if (std::find(devices.begin(), devices.end(), device) != devices.end())
            mounts.push_back(DecodeOctalEscapes(mountPoint));
    }
    return mounts;
}

std::vector<std::string> MountPointsOfDevice(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return {};
    const std::string self = std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
    std::vector<std::string> devices{self};
    // A disk's folder in sysfs holds one folder per partition, each with its "dev".
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/dev/block/" + self, error)) {
        if (std::filesystem::exists(entry.path() / "partition", error))
            devices.push_back(Trimmed(ReadText((entry.path() / "dev").string())));
    }
    return MountPointsIn(ReadText("/proc/self/mountinfo"), devices);
}

}  // namespace quillo
