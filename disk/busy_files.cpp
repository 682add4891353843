#include "disk/busy_files.h"

#include "common/engine_context.h"
#include "disk/volume_device.h"

namespace quillo {
namespace {

constexpr size_t kInitialEntries = 301;
constexpr size_t kGrowBy = 100;

bool IsKept(int kind, const std::string& path) {
    if (kind == 0) return false;  // open read-only, not mapped
    if (kind == 1) {              // open for writing: only the system's own temp files
        const size_t slash = path.rfind('\\');
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        return name.rfind("~DF", 0) == 0;
    }
    return true;  // mapped or unmovable
}

}  // namespace

int32_t PathHash(const std::string& path) {
    uint32_t hash = 0;
    for (unsigned char c : path) hash = hash * 3u + c;
    return static_cast<int32_t>(hash);
}

int EnumerateBusyFiles(EngineContext& ctx) {
    DeviceState& dev = ctx.dev;
    dev.BusyFileNames.assign(kInitialEntries, {});
    dev.BusyFileTypes.assign(kInitialEntries, 0);
    dev.BusyFileIndex.assign(kInitialEntries, {});
    int count = 0;
    if (dev.DeviceHandle != nullptr) {
        std::string path;
        for (int index = 0;; ++index) {
            path.clear();
            const int kind = dev.DeviceHandle->EnumOpenFile(index, path);
            if (kind == -1) break;
            if (!IsKept(kind, path)) continue;
            ++count;
            if (static_cast<size_t>(count) >= dev.BusyFileNames.size()) {
                const size_t size = dev.BusyFileNames.size() + kGrowBy;
                dev.BusyFileNames.resize(size);
                dev.BusyFileTypes.resize(size);
                dev.BusyFileIndex.resize(size);
            }
            dev.BusyFileNames[count] = path;
            dev.BusyFileTypes[count] = static_cast<int16_t>(kind);
            dev.BusyFileIndex[count] = {PathHash(path), count};
        }
    }
    dev.BusyFileNames.resize(count + 1);
    dev.BusyFileTypes.resize(count + 1);
    dev.BusyFileIndex.resize(count + 1);
    SortPairs(dev.BusyFileIndex, count, &ctx.view);
    return count;
}

int LookupBusyFile(const EngineContext& ctx, const std::string& path) {
    const DeviceState& dev = ctx.dev;
    const int count = static_cast<int>(dev.BusyFileIndex.size()) - 1;
    if (count <= 0) return 0;
    const int32_t hash = PathHash(path);
    int low = 1, high = count, hit = 0;
    while (low <= high) {
        const int mid = low + (high - low) / 2;
        const int32_t key = dev.BusyFileIndex[mid].key;
        if (key == hash) {
            hit = mid;
            break;
        }
        if (key < hash) low = mid + 1; else high = mid - 1;
    }
    if (hit == 0) return 0;
    auto kindIfSame = [&](int i) {
        const int entry = dev.BusyFileIndex[i].value;
        return dev.BusyFileNames[entry] == path ? dev.BusyFileTypes[entry] : 0;
    };
    for (int i = hit; i >= 1 && dev.BusyFileIndex[i].key == hash; --i)
        if (int kind = kindIfSame(i)) return kind;
    for (int i = hit + 1; i <= count && dev.BusyFileIndex[i].key == hash; ++i)
        if (int kind = kindIfSame(i)) return kind;
    return 0;
}

}  // namespace quillo
