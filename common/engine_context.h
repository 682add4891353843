#pragma once
// The one object that owns the engine's state for a volume at a time, and the
// services it talks to. Passed by reference to every engine operation.
#include "common/clock.h"
#include "common/engine_state.h"
#include "common/options.h"
#include "common/run_view.h"

namespace quillo {

class DeviceProvider;
class RegistryStore;
struct DriveMenu;

struct EngineContext {
    EngineContext(RunView& v, Clock& c, DeviceProvider& d) : view(v), clock(c), devices(d) {}

    RunView& view;
    Clock& clock;
    DeviceProvider& devices;
    // The drive items the window shows; drive discovery updates their captions.
    // Null where no menu is shown.
    DriveMenu* driveMenu = nullptr;
    // Machine-wide records (the last-defragment dates). Null: none kept.
    RegistryStore* registry = nullptr;

    Options options;
    RunState run;
    DeviceState dev;
    Geometry geo;
    FatBuffers fat;
    ChainState chains;
    ScanState scan;
    RunLists lists;
    DefragState defrag;
    LogState log;
};

}  // namespace quillo
