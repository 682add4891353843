#include "mainwindow/attached_disks.h"

#include <algorithm>
#include <filesystem>

#include "platform/option_store.h"

namespace quillo::gui {
namespace {

bool SamePath(const std::string& a, const std::string& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) return true;
    return a == b;
}

}  // namespace

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    std::filesystem::path clean;
    for (const std::filesystem::path& step : absolute) {
        if (step != ".") clean /= step;
    }
    return clean.string();
}

std::vector<AttachedDisk> RememberedDisks(const OptionStore& store) {
    std::vector<AttachedDisk> disks;
    for (int n = 1;; ++n) {
        const std::string path = store.ReadValue(kDrivesSection, "Disk" + std::to_string(n), "");
        if (path.empty()) break;
        disks.push_back({path, false});
    }
    const std::string floppy = store.ReadValue(kDrivesSection, "Floppy", "");
    if (!floppy.empty()) disks.push_back({floppy, true});
    return disks;
}

void RememberDisks(OptionStore& store, const std::vector<AttachedDisk>& disks) {
    std::vector<IniEntry> entries;
    int n = 0;
    for (const AttachedDisk& disk : disks) {
        if (!disk.floppy) entries.push_back({"Disk" + std::to_string(++n), disk.path});
    }
    for (const AttachedDisk& disk : disks) {
        if (disk.floppy) entries.push_back({"Floppy", disk.path});
    }
    store.ReplaceSection(kDrivesSection, entries);
}

std::vector<AttachedDisk> MergeDisks(std::vector<AttachedDisk> known,
                                     const std::vector<AttachedDisk>& added) {
    for (const AttachedDisk& disk : added) {
        if (disk.floppy) {
            std::erase_if(known, [](const AttachedDisk& k) { return k.floppy; });
        } else if (std::any_of(known.begin(), known.end(),
                               [&](const AttachedDisk& k) { return SamePath(k.path, disk.path); })) {
            continue;  // keeps its place, and so its letters
        }
        known.push_back(disk);
    }
    return known;
}

AttachedDrives::AttachedDrives() : table_(std::make_unique<DriveTable>(std::vector<DriveAssignment>{})) {}

AttachedDrives::~AttachedDrives() = default;

std::vector<std::string> AttachedDrives::Attach(const std::vector<AttachedDisk>& disks) {
    DriveLetterResult result = AssignDriveLetters(disks);
    std::vector<std::string> problems;
    for (const auto* list : {&result.errors, &result.warnings})
        for (const DiskProblem& problem : *list) problems.push_back(problem.path + ": " + problem.message);
    disks_ = disks;
    table_ = std::make_unique<DriveTable>(std::move(result.drives));
    return problems;
}

VolumeDevice* AttachedDrives::DeviceForDrive(char letter) { return table_->DeviceForDrive(letter); }

bool AttachedDrives::IsRemovable(char letter) { return table_->IsRemovable(letter); }

std::string AttachedDrives::UnsupportedReason(char letter) { return table_->UnsupportedReason(letter); }

}  // namespace quillo::gui
