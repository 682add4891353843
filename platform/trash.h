#pragma once
// The recycle bin: the freedesktop.org Trash. A trashed file keeps its
// name's place in `<trash>/files/` and its origin in
// `<trash>/info/<name>.trashinfo` ("[Trash Info]", a percent-encoded Path,
// DeletionDate), so any Trash client lists and restores it.
//
// Where a file goes: the home trash ($XDG_DATA_HOME/Trash) when it lies on
// the home trash's file system, else the trash at the top of its own file
// system: `$topdir/.Trash/$uid` when `$topdir/.Trash` is a real folder with
// the sticky bit, otherwise `$topdir/.Trash-$uid`. A file is only ever
// renamed into the trash, never copied across file systems.
//
// The order of one move, and what an interruption leaves:
//   info file created (O_EXCL), written, synced  -> file in place, a stray
//                                                   info file at worst
//   rename into files/                           -> file in the trash with
//                                                   its info file
// A failed rename removes the info file again.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_identity.h"

namespace quillo {

// The steps of one item, in order.
enum class TrashStep {
    InfoCreated,    // the info file exists, empty, under a name no other item has
    InfoWritten,    // its Path and DeletionDate are written
    InfoDurable,    // it and the info folder are synced
    Moved,          // the file is in files/ (or, for a stored copy, written there)
    MoveDurable,    // files/ and the folder it left are synced
    SizesRecorded,  // a trashed folder's size is in `directorysizes`
};

// Called after each step is done (tests end the process there to see what
// an interruption leaves).
using TrashProbe = std::function<void(TrashStep)>;

struct TrashRequest {
    std::string path;                      // absolute
    std::optional<FileIdentity> expected;  // moved only while it is still this file
};

struct TrashOutcome {
    bool moved = false;
    std::string trashFolder;  // e.g. "/home/u/.local/share/Trash", "/tmp/.Trash-1000"
    std::string name;         // files/<name> and info/<name>.trashinfo
};

// Moves each path (a file, a symbolic link as itself, or a folder with its
// contents) to the Trash. Only what the user owns is moved, and only when it
// is still the expected file; anything else stays where it is. One outcome
// per request, in order.
std::vector<TrashOutcome> MoveToTrash(const std::vector<TrashRequest>& requests,
                                      const TrashProbe& probe = {});

// Puts a new file into the home trash as if `originalPath` (absolute) had
// been trashed: the info file first, then `write` fills the file through
// the descriptor it is given; both are synced before this returns. Nothing
// is left behind when it fails.
TrashOutcome StoreInHomeTrash(const std::string& originalPath,
                              const std::function<bool(int fd)>& write,
                              const TrashProbe& probe = {});

// Takes an item out of the Trash again for good: its file, then its info.
bool DiscardFromTrash(const TrashOutcome& item);

// The trash folders that files below `folder` may be moved to (those that
// exist): for walks that must never list the Trash itself.
std::vector<FileIdentity> TrashFolderIdentities(const std::string& folder);

// A path in the Path key's form: every byte except letters, digits, "/" and
// "-_.!~*'()" as %XX.
std::string EncodeTrashPath(const std::string& path);

}  // namespace quillo
