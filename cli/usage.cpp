#include "cli/usage.h"

#include <cstdio>

namespace quillo::cli {

const char* const kUsageText =
    "Usage: quillo-cli [OPTION]... drives\n"
    "  or:  quillo-cli [OPTION]... info DRIVE\n"
    "  or:  quillo-cli [OPTION]... check|defrag|map DRIVE...\n"
    "  or:  quillo-cli [OPTION]... list LIST\n"
    "Check and defragment the FAT12, FAT16 and FAT32 volumes of disk images and\n"
    "block devices. DRIVE is a drive letter, with or without the colon (C, d:).\n"
    "\n"
    "Options:\n"
    "      --disk PATH    attach a disk image or block device (repeatable); its\n"
    "                     FAT volumes get drive letters from C:\n"
    "      --floppy PATH  attach a floppy image as A:\n"
    "      --json         after each drive, the figures of its run as JSON\n"
    "      --map          with map: print the disk map as coloured cells\n"
    "      --help         display this help and exit\n"
    "      --version      output version information and exit\n"
    "\n"
    "Commands:\n"
    "  drives           list the drive letters with label, file system, size, free space\n"
    "  info DRIVE       the geometry of one drive\n"
    "  check DRIVE...   analyse without writing anything, and print the log\n"
    "  defrag DRIVE...  make fragmented files contiguous, pack files and folders\n"
    "  map DRIVE...     the quick look from the allocation table alone\n"
    "  list LIST        print the rows of a cleaner list, one a line (never deletes):\n"
    "                   Temps, TempInternet, URLcache, Cookies, Duplicates,\n"
    "                   TaskList, or Frags DRIVE (which checks DRIVE first)\n"
    "\n"
    "A block device the user may not open is opened through UDisks2, which asks\n"
    "for authorisation; a mounted volume is busy and never written.\n"
    "\n"
    "Exit status:\n"
    " 0    done\n"
    " 1    structural or internal error, or a volume that is not understood\n"
    " 2    usage error or unknown drive\n"
    " 3    drive busy\n"
    " 4    disk I/O error\n"
    " 5    out of memory\n"
    " 130  stopped (Ctrl+C)\n"
    "\n"
    "Example: quillo-cli --disk stick.img check C\n"
    "Full documentation: man quillo-cli\n";

void PrintTryHelp(const char* program) {
    std::fprintf(stderr, "Try '%s --help' for more information.\n", program);
}

}  // namespace quillo::cli
