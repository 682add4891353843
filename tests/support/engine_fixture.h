#pragma once
// An engine context on one scripted drive C:, with a recording view and a
// fake clock, for tests that drive the engine without a disk.
#include <memory>
#include <vector>

#include "common/engine_context.h"
#include "disk/volume_device.h"
#include "tests/support/fake_clock.h"
#include "tests/support/recording_view.h"
#include "tests/support/scripted_device.h"

namespace quillo::testing {

class SingleDriveProvider : public DeviceProvider {
public:
    explicit SingleDriveProvider(VolumeDevice* device, char letter = 'C')
        : device_(device), letter_(letter) {}
    VolumeDevice* DeviceForDrive(char letter) override {
        return letter == letter_ ? device_ : nullptr;
    }
    bool IsRemovable(char) override { return false; }

private:
    VolumeDevice* device_;
    char letter_;
};

struct ScriptedDrive {
    explicit ScriptedDrive(std::vector<uint8_t> image = std::vector<uint8_t>(64 * kSectorSize))
        : device(std::move(image)), provider(&device), clock(12 * 3600.0, 0.5),
          ctx(view, clock, provider) {
        ctx.run.DriveString = "C:";
        ctx.run.RootPath = "C:\\";
    }

    ScriptedDevice device;
    SingleDriveProvider provider;
    RecordingView view;
    FakeClock clock;
    EngineContext ctx;
};

}  // namespace quillo::testing
