#pragma once
// The volume device: every operation that touches a disk goes through this
// interface. It mirrors the platform device's requests; results follow the
// same conventions (a lock state of -1 means "not locked", a lock flag of -1
// means the query failed).
#include <cstdint>
#include <memory>
#include <string>

namespace quillo {

constexpr uint32_t kSectorSize = 512;

// Kind of data an absolute write carries (kept for the record; a device may
// use it to order or tag writes).
enum class WriteKind : uint32_t {
    AllocationTable = 0x2000,
    Directory = 0x4000,
    FileData = 0x6000,
};

// What an open-file enumeration entry says about the file.
struct OpenFileEntry {
    std::string path;
    int kind = 0;  // 0 read-only; 1 open for writing; 2/3 mapped (see EnumOpenFile)
};

class VolumeDevice {
public:
    virtual ~VolumeDevice() = default;
    VolumeDevice() = default;
    VolumeDevice(const VolumeDevice&) = delete;
    VolumeDevice& operator=(const VolumeDevice&) = delete;

    // Opens the device for reading and writing. False when it cannot be opened.
    virtual bool Open() = 0;
    // Opens the device for reading only, for a look that must never change the
    // volume: every write and every lock level fails until it is closed. False
    // when it cannot be opened or another program holds the volume locked.
    virtual bool OpenReadOnly() = 0;
    // Drops every lock still held and closes. Harmless when already closed.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Why the last Open, OpenReadOnly or LockVolume found the device taken, in
    // a sentence for the user ("It is mounted at /media/u/STICK."); empty
    // when there is nothing to add to the busy message.
    virtual std::string BusyReason() const { return {}; }

    // -1 not locked by us, 0..3 the level we hold. A failed query reads as 0.
    virtual int GetLockState() = 0;
    // Takes `level` (0 exclusive, or 1, 2, 3 one inside the other). For level 1,
    // othersMayWrite chooses the permission given to other programs. False when
    // another holder or the current level prevents it.
    virtual bool LockVolume(int level, bool othersMayWrite) = 0;
    // One unlock request for `level`; the caller only sends it for the current level.
    virtual void UnlockVolume(int level) = 0;
    // Reads and clears the lock flag: 0 nothing happened since the last read,
    // 1 somebody else wrote, 2 a new file mapping; -1 when the query fails.
    virtual int GetLockFlagState() = 0;
    // Entry `index` of the files other programs hold open. Returns -1 when there
    // are no more entries, else the entry's kind (0..3) with its path filled in.
    virtual int EnumOpenFile(int index, std::string& path) = 0;
    // The system's swap file on this volume, if there is one.
    virtual bool FindSwapFile(std::string& path) = 0;
    // First cluster of a file given by path, 0 on failure.
    virtual uint32_t GetFirstCluster(const std::string& path) = 0;
    // Flushes every write made so far to stable storage. After a successful
    // reset, no earlier write can be lost by a crash.
    virtual bool ResetDrive() = 0;

    // Absolute transfers of whole 512-byte sectors within the volume; sector 0 is
    // the boot sector. A transfer that reaches past the volume's end fails and
    // transfers nothing.
    virtual bool ReadSectors(uint32_t start, uint32_t count, uint8_t* buffer) = 0;
    virtual bool WriteSectors(uint32_t start, uint32_t count, const uint8_t* buffer,
                              WriteKind kind) = 0;

    // Size of the volume in sectors (what the platform's free-space and
    // volume queries are answered from).
    virtual uint64_t VolumeSectorCount() const = 0;
};

// A drive letter's device. The front end attaches disks and hands the engine
// the provider; tests hand it scripted devices.
class DeviceProvider {
public:
    virtual ~DeviceProvider() = default;
    // The device of drive `letter` ('A'..'Z', upper case), or null when the
    // letter names no attached FAT volume.
    virtual VolumeDevice* DeviceForDrive(char letter) = 0;
    // Whether drive `letter` is removable (an attached floppy).
    virtual bool IsRemovable(char letter) = 0;
    // Why the FAT volume of drive `letter` cannot be worked on; empty when it
    // can, or when the letter names nothing.
    virtual std::string UnsupportedReason(char) { return {}; }
};

}  // namespace quillo
