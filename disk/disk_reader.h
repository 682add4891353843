#pragma once
// Read-only access to a whole disk (image file, block device or memory), used to
// find the FAT volumes on it before any volume device is opened.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillo {

class DiskReader {
public:
    virtual ~DiskReader() = default;
    DiskReader() = default;
    DiskReader(const DiskReader&) = delete;
    DiskReader& operator=(const DiskReader&) = delete;

    virtual uint64_t SizeBytes() const = 0;
    // Reads exactly `length` bytes at `offset` into `out`. False (and nothing
    // promised about `out`) when the range reaches past the end or the read fails.
    virtual bool Read(uint64_t offset, size_t length, uint8_t* out) = 0;
};

// Opens an image file or block device read-only. Null with `error` set when it
// cannot be opened or sized ("cannot open: No such file or directory"; the
// caller names the path).
std::unique_ptr<DiskReader> OpenDiskFile(const std::string& path, std::string* error);

// A disk held in memory.
class MemoryDiskReader final : public DiskReader {
public:
    explicit MemoryDiskReader(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    uint64_t SizeBytes() const override { return bytes_.size(); }
    bool Read(uint64_t offset, size_t length, uint8_t* out) override;

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace quillo
