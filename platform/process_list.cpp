#include "platform/process_list.h"

#include <dirent.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <iterator>

namespace quillo {
namespace {

bool ReadWhole(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::string ExecutableOf(const std::string& folder) {
    char target[4096];
    const ssize_t length = ::readlink((folder + "/exe").c_str(), target, sizeof target);
    if (length > 0) return std::string(target, static_cast<size_t>(length));

    std::string commandLine;
    if (!ReadWhole(folder + "/cmdline", commandLine)) return "";
    const std::string firstWord = commandLine.substr(0, commandLine.find('\0'));
    if (!firstWord.empty()) return firstWord;

    std::string name;
    if (!ReadWhole(folder + "/comm", name)) return "";
    while (!name.empty() && name.back() == '\n') name.pop_back();
    return name.empty() ? "" : "[" + name + "]";
}

}  // namespace

bool IsNumberName(const char* name) {
    if (*name == '\0') return false;
    for (; *name != '\0'; ++name)
        if (!std::isdigit(static_cast<unsigned char>(*name))) return false;
    return true;
}

std::vector<std::string> RunningExecutables(const std::string& procRoot) {
    std::vector<std::string> paths;
    DIR* proc = ::opendir(procRoot.c_str());
    if (proc == nullptr) return paths;
    while (const dirent* entry = ::readdir(proc)) {
        if (!IsNumberName(entry->d_name)) continue;
        const std::string path = ExecutableOf(procRoot + "/" + entry->d_name);
        if (!path.empty()) paths.push_back(path);
    }
    ::closedir(proc);
    return paths;
}

}  // namespace quillo
