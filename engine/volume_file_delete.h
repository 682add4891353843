#pragma once
// Deleting a file inside an attached volume without losing it: a copy goes
// to the Trash first, then the file leaves the volume. The order, and what a
// power cut between the steps leaves:
//   copy into the home trash, synced      -> the file twice (volume, Trash)
//   long-name slots, then the entry,
//   erased and flushed                    -> clusters that no entry names
//                                            (lost clusters) at worst
//   FSInfo free count marked unknown,
//   clusters freed in both tables,
//   flushed, free count written           -> the file only in the Trash
// The volume is held under the write lock from before the entry is checked
// again to the end.
#include <string>

#include "platform/trash.h"

namespace quillo {

struct EngineContext;

enum class VolumeDeleteResult {
    Deleted,
    Busy,     // another program holds the volume: nothing changed
    Changed,  // not there any more, no longer a plain file, or changed since
    Failed,   // a read or write failed (the Trash keeps its copy)
};

// Deletes the file `volumePath` ("C:\Docs\Letter.txt") of the front end's
// drives; the Trash copy records `restorePath` (absolute, on the host) as
// its origin. `probe` watches the Trash steps (tests).
VolumeDeleteResult DeleteVolumeFile(EngineContext& front, const std::string& volumePath,
                                    const std::string& restorePath, const TrashProbe& probe = {});

// Where a standard Trash client puts back a file deleted from the volume of
// drive `letter` on the disk `diskPath`: beside an image file, in a folder
// named after it and the letter ("/data/retro.img-C"); for a block device,
// in the home folder ("~/sdb-C").
std::string VolumeRestoreFolder(const std::string& diskPath, char letter);
// The host path of `volumePath` below that folder ("C:\Docs\a.txt" ->
// "<folder>/Docs/a.txt"); a "/" in a long name becomes "_".
std::string RestorePathFor(const std::string& restoreFolder, const std::string& volumePath);

}  // namespace quillo
