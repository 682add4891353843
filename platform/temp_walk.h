#pragma once
// The walk of the temporary folder: every file below it that the user could
// remove now, and every folder met, in the order met.
//
// What counts on Linux: regular files and symbolic links (a link is listed
// as itself and never followed); sockets, pipes and devices are passed over.
// A file is listed only when the user owns it, can open it (a link: owns
// it), and no process holds it open or locked. Folders are walked depth
// first, each after its parent's own entries; a link to a folder is not
// walked, nor a folder of another file system, nor a trash folder.
#include <ctime>
#include <functional>
#include <string>

#include "platform/file_identity.h"

namespace quillo {

class OpenFileSet;

struct WalkedFile {
    std::string relative;  // below the walked folder, '/'-separated
    std::time_t modified = 0;
    FileIdentity identity;
};

struct WalkedFolder {
    std::string path;      // full path
    FileIdentity identity;
};

struct TempWalkVisitor {
    std::function<bool(const WalkedFile&)> file;      // false stops the walk
    std::function<void(const WalkedFolder&)> folder;  // every subfolder, parents first
};

// Walks `folder` (no trailing '/'). False when the walk was stopped.
bool WalkTempFolder(const std::string& folder, const OpenFileSet& busy, const TempWalkVisitor& visitor);

// The open test of a file that is to be moved: it is ours, and opens for
// reading and writing (which a file without its owner's write bit never
// does), or (when `readOnlyWillDo`) for reading; a link only needs to be ours.
bool OwnFileOpens(const std::string& path, bool readOnlyWillDo);

}  // namespace quillo
