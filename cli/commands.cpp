#include "cli/commands.h"

#include <optional>

#include "cli/check_command.h"
#include "cli/console.h"
#include "cli/exit_codes.h"
#include "cli/json_writer.h"
#include "cli/list_command.h"
#include "common/engine_context.h"
#include "common/log.h"
#include "disk/drive_menu.h"
#include "disk/volume_device.h"
#include "disk/volume_geometry.h"
#include "disk/volume_lock.h"
#include "disk/volume_space.h"

namespace quillo::cli {
namespace {

std::optional<VolumeSpace> SpaceOf(VolumeDevice& device) {
    const bool openedHere = !device.IsOpen();
    if (openedHere && !device.Open()) return std::nullopt;
    std::optional<VolumeSpace> space = QueryVolumeSpace(device);
    if (openedHere) device.Close();
    return space;
}

int32_t Sectors(uint64_t clusters, uint32_t sectorsPerCluster) {
    return static_cast<int32_t>(std::min<uint64_t>(clusters * sectorsPerCluster, 0x7FFFFFFF));
}

int ListDrives(Console& console, bool json, std::FILE* out, std::FILE* err) {
    const std::vector<char> letters = console.table().Letters();
    if (letters.empty()) {
        std::fprintf(err, "quillo-cli: no drives: attach a disk with --disk PATH\n");
        return kExitUsage;
    }
    int status = kExitDone;
    for (char letter : letters) {
        const int index = MenuIndexForDriveLetter(letter);
        const std::string fileSystem = QueryDrive(console.menu(), index, true, console.table());
        const DriveMenuItem& item = console.menu().items[index];
        const std::string caption = item.caption.substr(1);  // drop "&"
        const std::string label = caption.size() > 4 ? caption.substr(4) : "";
        const std::optional<VolumeSpace> space =
            fileSystem.empty() ? std::nullopt : SpaceOf(*console.table().DeviceForDrive(letter));
        const int32_t size = space ? Sectors(space->totalClusters, space->sectorsPerCluster) : 0;
        const int32_t free = space ? Sectors(space->freeClusters, space->sectorsPerCluster) : 0;
        // A drive we cannot work on is listed with the reason; the listing
        // then ends with the status of a volume that is not understood.
        const std::string why = space ? "" : item.unsupported.empty() ? "unreadable or not a FAT volume"
                                                                     : item.unsupported;
        if (!why.empty()) status = kExitVolumeError;
        if (json) {
            JsonObject o;
            o.Add("drive", std::string(1, letter) + ":").Add("label", label)
                .Add("filesystem", fileSystem).Add("size_sectors", int64_t{size})
                .Add("free_sectors", int64_t{free})
                .Add("path", console.table().Find(letter)->path)
                .Add("unsupported", why);
            std::fprintf(out, "%s\n", o.Text().c_str());
        } else if (!why.empty()) {
            std::fprintf(out, "%c:  not supported: %s\n", letter, why.c_str());
        } else {
            std::fprintf(out, "%-16s %-6s %9s  %9s free\n", caption.c_str(), fileSystem.c_str(),
                         FormatSize(size).c_str(), FormatSize(free).c_str());
        }
    }
    return status;
}

int ShowInfo(Console& console, char letter, bool json, std::FILE* out, std::FILE* err) {
    const DriveAssignment* drive = console.table().Find(letter);
    if (drive == nullptr) {
        std::fprintf(err, "quillo-cli: no drive %c:\n", letter);
        return kExitUsage;
    }
    EngineContext& ctx = console.ctx();
    console.Select(letter);
    ctx.run.RunMode = -1;
    ctx.run.ScanFiles = false;
    if (!AcquireVolume(ctx)) {
        if (ctx.run.DriveBusy) {
            PrintEndOfRunMessage(ctx.run, err);
            return kExitDriveBusy;
        }
        std::fprintf(err, "quillo-cli: cannot open %s\n", drive->path.c_str());
        return kExitVolumeError;
    }
    const bool opened = OpenVolume(ctx);
    ReleaseVolume(ctx);
    if (!opened) return ctx.run.DiskIoFailed ? kExitDiskIo : kExitVolumeError;

    const Geometry& geo = ctx.geo;
    const std::string caption = console.menu().items[ctx.run.DriveMenuIndex].caption.substr(1);
    const std::string label = caption.size() > 4 ? caption.substr(4) : "";
    JsonObject o;
    o.Add("drive", ctx.run.DriveString)
        .Add("label", label)
        .Add("filesystem", geo.FileSystemName)
        .Add("path", drive->path)
        .Add("partition", int64_t{drive->volume.partitionNumber})
        .Add("offset_bytes", static_cast<int64_t>(drive->volume.byteOffset))
        .Add("bytes_per_sector", int64_t{geo.BytesPerSector})
        .Add("sectors_per_cluster", int64_t{geo.SectorsPerCluster})
        .Add("reserved_sectors", int64_t{geo.ReservedSectors})
        .Add("tables", int64_t{geo.NumberOfFats})
        .Add("sectors_per_table", int64_t{geo.SectorsPerFat})
        .Add("root_entries", int64_t{geo.RootEntryCount})
        .Add("root_cluster", int64_t{geo.RootCluster})
        .Add("data_start_sector", int64_t{geo.DataStartMinus1} + 1)
        .Add("total_clusters", int64_t{geo.TotalClusters})
        .Add("free_clusters", int64_t{geo.FreeClusters})
        .Add("volume_sectors", int64_t{geo.VolumeSectors});
    if (json) {
        std::fprintf(out, "%s\n", o.Text().c_str());
        return kExitDone;
    }
    std::fprintf(out, "Drive %s  %s\n", ctx.run.DriveString.c_str(), label.c_str());
    std::fprintf(out, "File system          %s\n", geo.FileSystemName.c_str());
    std::fprintf(out, "Disk                 %s (partition %d, at byte %llu)\n", drive->path.c_str(),
                 drive->volume.partitionNumber,
                 static_cast<unsigned long long>(drive->volume.byteOffset));
    std::fprintf(out, "Bytes per sector     %d\n", geo.BytesPerSector);
    std::fprintf(out, "Sectors per cluster  %d\n", geo.SectorsPerCluster);
    std::fprintf(out, "Reserved sectors     %d\n", geo.ReservedSectors);
    std::fprintf(out, "Tables               %d of %d sectors\n", geo.NumberOfFats, geo.SectorsPerFat);
    if (geo.IsFat32)
        std::fprintf(out, "Root directory       cluster %u\n", geo.RootCluster);
    else
        std::fprintf(out, "Root directory       %d entries\n", geo.RootEntryCount);
    std::fprintf(out, "Data area            from sector %d\n", geo.DataStartMinus1 + 1);
    std::fprintf(out, "Clusters             %d (%d free)\n", geo.TotalClusters, geo.FreeClusters);
    std::fprintf(out, "Size                 %s (%s free)\n", FormatSize(geo.VolumeSectors).c_str(),
                 FormatSize(geo.FreeClusters * geo.SectorsPerCluster).c_str());
    return kExitDone;
}

}  // namespace

int RunCommand(const Arguments& args, std::FILE* out, std::FILE* err) {
    // A list's rows alone go to standard output; what the engine logs on the
    // way (the check before "Frags") goes with the problems.
    Console console(args, args.command == "list" ? err : out, err);
    if (args.command == "list") return ListRows(console, args, out, err);
    if (args.command == "drives") return ListDrives(console, args.json, out, err);
    if (args.command == "info") return ShowInfo(console, args.drives.front(), args.json, out, err);
    if (args.command == "check" || args.command == "defrag" || args.command == "map")
        return RunDrives(console, args, out, err);
    std::fprintf(err, "quillo-cli: unknown command %s\n", args.command.c_str());
    return kExitUsage;
}

}  // namespace quillo::cli
