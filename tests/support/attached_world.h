#pragma once
// An engine context over disk images attached as the front ends attach
// them, with the drive menu filled: what the cleaner's lists work on.
#include <string>
#include <vector>

#include "common/engine_context.h"
#include "disk/drive_letters.h"
#include "disk/drive_menu.h"
#include "disk/drive_table.h"
#include "tests/support/fake_clock.h"

namespace quillo::test {

struct AttachedWorld {
    explicit AttachedWorld(const std::vector<AttachedDisk>& disks = {})
        : table(AssignDriveLetters(disks).drives), ctx(view, clock, table) {
        FillDriveMenu(menu, table);
        ctx.driveMenu = &menu;
    }
    DriveTable table;
    DriveMenu menu;
    QuietView view;
    FakeClock clock{12 * 3600.0, 0.5};
    EngineContext ctx;
};

}  // namespace quillo::test
