#include "engine/last_defrag.h"

#include <cstdio>
#include <vector>

#include "common/engine_context.h"
#include "common/little_endian.h"
#include "platform/registry_store.h"

namespace quillo {
namespace {

constexpr size_t kRecordSize = 16;

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

}  // namespace

std::string LastDefragValueName(const EngineContext& ctx, const std::string& drive) {
    if (drive.empty() || !ctx.geo.VolumeSerial) return "";
    const uint32_t serial = *ctx.geo.VolumeSerial;
    char name[16];
    std::snprintf(name, sizeof name, "%c:%04X-%04X", drive[0], serial >> 16, serial & 0xFFFF);
    return name;
}

std::string GetLastDefragDate(EngineContext& ctx, const std::string& drive) {
    const std::string name = LastDefragValueName(ctx, drive);
    if (ctx.registry == nullptr || name.empty() || !ctx.registry->KeyExists(kLastOptimizeKey)) return "";
    std::vector<uint8_t> record;
    if (!ctx.registry->ReadBinary(kLastOptimizeKey, name, record) || record.size() < kRecordSize)
        return "";
    const int year = le16(&record[0]);
    const int month = le16(&record[2]);
    const int day = le16(&record[6]);
    if (month < 1 || month > 12 || day < 1 || day > 31) return "";
    char text[40];
    std::snprintf(text, sizeof text, "%s %02d, %04d", kMonths[month - 1], day, year);
    return text;
}

void SetLastDefragDate(EngineContext& ctx, const std::string& drive, std::time_t when) {
    const std::string name = LastDefragValueName(ctx, drive);
    if (ctx.registry == nullptr || name.empty()) return;
    std::tm utc{};
    gmtime_r(&when, &utc);
    std::vector<uint8_t> record(kRecordSize, 0);
    put_le16(&record[0], static_cast<uint16_t>(utc.tm_year + 1900));
    put_le16(&record[2], static_cast<uint16_t>(utc.tm_mon + 1));
    put_le16(&record[4], static_cast<uint16_t>(utc.tm_wday));
    put_le16(&record[6], static_cast<uint16_t>(utc.tm_mday));
    put_le16(&record[8], static_cast<uint16_t>(utc.tm_hour));
    put_le16(&record[10], static_cast<uint16_t>(utc.tm_min));
    put_le16(&record[12], static_cast<uint16_t>(utc.tm_sec));
    // The key is never created here: WriteBinary refuses a missing key.
    ctx.registry->WriteBinary(kLastOptimizeKey, name, record);
}

void SetLastDefragDate(EngineContext& ctx, const std::string& drive) {
    SetLastDefragDate(ctx, drive, std::time(nullptr));
}

}  // namespace quillo
