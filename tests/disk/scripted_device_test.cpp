#include "tests/support/scripted_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace quillo {
namespace {

// Sector n of a fresh image is filled with the byte n, so a reboot image
// shows at a glance which version of each sector survived.
std::vector<uint8_t> NumberedImage(uint32_t sectors) {
    std::vector<uint8_t> image(sectors * kSectorSize);
    for (uint32_t s = 0; s < sectors; ++s)
        std::fill_n(image.begin() + s * kSectorSize, kSectorSize, static_cast<uint8_t>(s));
    return image;
}

// The fill byte of sector s, or -1 when the sector is not uniform (a torn sector).
int SectorFill(const std::vector<uint8_t>& image, uint32_t s) {
    const uint8_t* p = image.data() + s * kSectorSize;
    return std::all_of(p, p + kSectorSize, [&](uint8_t b) { return b == p[0]; }) ? p[0] : -1;
}

bool Write(ScriptedDevice& d, uint32_t start, uint32_t count, uint8_t value) {
    const std::vector<uint8_t> data(count * kSectorSize, value);
    return d.WriteSectors(start, count, data.data(), WriteKind::FileData);
}

class OpenedDevice : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(d.Open()); }
    ScriptedDevice d{NumberedImage(16)};
};
using ScriptedDeviceReboot = OpenedDevice;
using ScriptedDeviceFaults = OpenedDevice;

TEST_F(ScriptedDeviceReboot, DropUnflushedKeepsOnlyWhatResetDriveMadeDurable) {
    ASSERT_TRUE(Write(d, 1, 1, 0xA1) && d.ResetDrive());
    ASSERT_TRUE(Write(d, 2, 1, 0xB2) && Write(d, 1, 1, 0xC1));
    std::vector<uint8_t> seen(2 * kSectorSize);
    ASSERT_TRUE(d.ReadSectors(1, 2, seen.data()));
    EXPECT_EQ(SectorFill(seen, 0), 0xC1);  // reads see unflushed writes
    EXPECT_EQ(SectorFill(seen, 1), 0xB2);
    const std::vector<uint8_t> after = d.ImageAfterReboot(RebootMode::DropUnflushed);
    EXPECT_EQ(after, d.DurableImage());
    EXPECT_EQ(SectorFill(after, 1), 0xA1);
    EXPECT_EQ(SectorFill(after, 2), 2);
}

TEST_F(ScriptedDeviceReboot, RandomSubsetHoldsWholeSectorsOfRealWritesAndFollowsTheSeed) {
    ASSERT_TRUE(Write(d, 4, 3, 0xE1) && Write(d, 5, 1, 0xE2) && Write(d, 10, 2, 0xE3));
    const std::map<uint32_t, std::set<int>> allowed = {
        {4, {4, 0xE1}}, {5, {5, 0xE1, 0xE2}}, {6, {6, 0xE1}}, {10, {10, 0xE3}}, {11, {11, 0xE3}}};
    std::set<std::vector<uint8_t>> distinct;
    bool partlyKeptWrite = false;
    for (uint64_t seed = 0; seed < 64; ++seed) {
        const auto image = d.ImageAfterReboot(RebootMode::KeepRandomSubset, seed);
        EXPECT_EQ(image, d.ImageAfterReboot(RebootMode::KeepRandomSubset, seed));
        for (uint32_t s = 0; s < 16; ++s) {
            const auto it = allowed.find(s);
            const std::set<int> expected = it == allowed.end() ? std::set<int>{int(s)} : it->second;
            EXPECT_TRUE(expected.count(SectorFill(image, s))) << "sector " << s;
        }
        partlyKeptWrite |= (SectorFill(image, 10) == 0xE3) != (SectorFill(image, 11) == 0xE3);
        distinct.insert(image);
    }
    EXPECT_GT(distinct.size(), 8u);
    EXPECT_TRUE(partlyKeptWrite);  // kept per sector, not per write
}

// Torn reboots cut the last multi-sector write at a sector boundary; the
// writes before it are lost (TornLastWrite) or kept (TornInOrder), the
// writes after it lost.
TEST_F(ScriptedDeviceReboot, TornWriteCutsOnlyTheLastMultiSectorWrite) {
    ASSERT_TRUE(Write(d, 0, 1, 0xD0) && d.ResetDrive());
    ASSERT_TRUE(Write(d, 2, 2, 0xA2));  // an earlier multi-sector write
    ASSERT_TRUE(Write(d, 8, 4, 0xB8));  // the one that tears
    ASSERT_TRUE(Write(d, 1, 1, 0xC1));  // later, single sector: lost
    for (const auto& [mode, earlier] : {std::pair{RebootMode::TornLastWrite, 2}, std::pair{RebootMode::TornInOrder, 0xA2}}) {
        std::set<int> cuts;
        for (uint64_t seed = 0; seed < 40; ++seed) {
            const auto image = d.ImageAfterReboot(mode, seed);
            EXPECT_EQ(SectorFill(image, 0), 0xD0);
            EXPECT_EQ(SectorFill(image, 1), 1);
            for (int s : {2, 3}) EXPECT_EQ(SectorFill(image, s), earlier == 2 ? s : earlier);
            int j = 0;
            while (j < 4 && SectorFill(image, 8 + j) == 0xB8) ++j;
            for (int s = j; s < 4; ++s) EXPECT_EQ(SectorFill(image, 8 + s), 8 + s);
            cuts.insert(j);
        }
        EXPECT_EQ(cuts, (std::set<int>{1, 2, 3}));
    }

    ScriptedDevice single(NumberedImage(4));
    ASSERT_TRUE(single.Open() && Write(single, 3, 1, 0xAA));
    EXPECT_EQ(single.ImageAfterReboot(RebootMode::TornLastWrite, 5),
              single.ImageAfterReboot(RebootMode::DropUnflushed));
    EXPECT_EQ(single.ImageAfterReboot(RebootMode::TornInOrder, 5), single.Image());
}

TEST_F(ScriptedDeviceFaults, FailsTheNumberedTransferAndChangesNothing) {
    d.FailRead(1);
    d.FailWrite(2);
    std::vector<uint8_t> buffer(kSectorSize, 0x55);
    EXPECT_FALSE(d.ReadSectors(3, 1, buffer.data()));
    EXPECT_EQ(SectorFill(buffer, 0), 0x55);
    EXPECT_TRUE(d.ReadSectors(3, 1, buffer.data()));
    EXPECT_EQ(SectorFill(buffer, 0), 3);

    EXPECT_TRUE(Write(d, 1, 1, 0x11));
    const auto before = d.Image();
    EXPECT_FALSE(Write(d, 2, 1, 0x22));
    EXPECT_EQ(d.Image(), before);
    EXPECT_EQ(d.UnflushedWriteCount(), 1u);
    EXPECT_TRUE(Write(d, 2, 1, 0x22));
    EXPECT_EQ(d.WritesCounted(), 3u);  // the failed call took its number too
}

TEST_F(ScriptedDeviceFaults, EverythingFailsAfterThePowerCut) {
    ASSERT_TRUE(d.LockVolume(0, false));
    d.CrashAfterWrite(2);
    EXPECT_TRUE(Write(d, 1, 1, 0x11));
    EXPECT_TRUE(Write(d, 2, 1, 0x22));  // completes, then the power goes
    EXPECT_TRUE(d.PowerIsCut());
    std::vector<uint8_t> buffer(kSectorSize);
    EXPECT_FALSE(Write(d, 3, 1, 0x33));
    EXPECT_FALSE(d.ReadSectors(1, 1, buffer.data()));
    EXPECT_FALSE(d.ResetDrive());
    EXPECT_EQ(d.GetLockState(), 0);
    EXPECT_EQ(d.GetLockFlagState(), -1);
    d.Close();
    EXPECT_FALSE(d.Open());
    EXPECT_EQ(SectorFill(d.Image(), 2), 0x22);
    EXPECT_EQ(SectorFill(d.Image(), 3), 3);
    EXPECT_EQ(SectorFill(d.ImageAfterReboot(RebootMode::DropUnflushed), 2), 2);
}

}  // namespace
}  // namespace quillo
