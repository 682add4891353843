#pragma once
// The console front end's world: the attached drives, the preferences, and
// an engine context over them.
#include <cstdio>

#include "cli/arguments.h"
#include "common/console_view.h"
#include "common/engine_context.h"
#include "disk/drive_menu.h"
#include "disk/drive_table.h"
#include "platform/registry_store.h"

namespace quillo::cli {

class Console {
public:
    // Attaches the disks named on the command line; problems go to `err`.
    Console(const Arguments& args, std::FILE* out, std::FILE* err);

    DriveTable& table() { return table_; }
    DriveMenu& menu() { return menu_; }
    ConsoleView& view() { return view_; }
    EngineContext& ctx() { return ctx_; }

    // Points the context at drive `letter` the way selecting it in the menu does.
    void Select(char letter);

private:
    DriveTable table_;
    DriveMenu menu_;
    ConsoleView view_;
    SystemClock clock_;
    RegistryStore registry_;
    EngineContext ctx_;
};

}  // namespace quillo::cli
