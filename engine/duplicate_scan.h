#pragma once
// The duplicate-name scan: every file of every drive of the drive menu,
// read through the disk layer with the long names the volumes store, and
// each name that more than one file bears listed once per file.
//
// A file takes part unless it is read-only, hidden or system, or empty (no
// first cluster). Files are bucketed by the first byte of their 8.3 name
// (32 buckets) and matched by the long name, letter case counting.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/list_source.h"

namespace quillo {

class VolumeLook;

class DuplicateScan {
public:
    DuplicateScan(EngineContext& front, ListSink& sink);
    ~DuplicateScan();
    DuplicateScan(const DuplicateScan&) = delete;
    DuplicateScan& operator=(const DuplicateScan&) = delete;

    // Drives 1..24 of the front end's drive menu that are shown, then the
    // comparison. Progress: one step per drive, the rest over the comparison.
    FillEnd Run();
    // A drive is being opened or read for the scan right now.
    bool HoldsVolume() const { return onDrive_; }

private:
    struct Record {
        uint16_t writeDate;
        uint32_t size;
        int32_t folder;
    };
    struct Slot {
        std::string longName;
        uint16_t key;  // length of the long name; 0 once listed
        int32_t record;
    };
    class SinkView;

    // False when the scan must end (a stop, or No to the error question).
    bool ScanDrive(char letter);
    void WalkFolder(EngineContext& ctx, uint32_t cluster, int32_t folder, int depth,
                    std::vector<uint8_t>& seen);
    // False when the list is full or a stop came.
    bool Compare();
    bool AddRowFor(const Slot& slot);
    void Advance();

    EngineContext& front_;
    ListSink& sink_;
    std::unique_ptr<SinkView> view_;
    bool onDrive_ = false;
    FillEnd end_;
    int progress_ = 0;
    std::vector<Record> records_;
    std::vector<Slot> buckets_[32];
    std::vector<std::string> folderPaths_;  // "C:\", "C:\Docs", ...
};

}  // namespace quillo
