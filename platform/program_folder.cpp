#include "platform/program_folder.h"

#include <filesystem>

namespace quillo {
namespace {

bool RunningExecutable(std::filesystem::path& exe) {
    std::error_code error;
    exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return !error && !exe.empty();
}

}  // namespace

std::string ProgramFolder() {
    std::filesystem::path exe;
    return RunningExecutable(exe) ? exe.parent_path().string() : std::string(".");
}

std::string ProgramFileName(const std::string& fallback) {
    std::filesystem::path exe;
    return RunningExecutable(exe) ? exe.filename().string() : fallback;
}

}  // namespace quillo
