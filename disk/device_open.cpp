#include "disk/device_open.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "disk/mount_points.h"
#include "platform/udisks.h"

namespace quillo {

DeviceOpenResult OpenDeviceFile(const std::string& path, int flags) {
    DeviceOpenResult result;
    do {
        result.fd = ::open(path.c_str(), flags);
    } while (result.fd < 0 && errno == EINTR);
    if (result.fd >= 0) return result;
    result.error = errno;
    struct stat st {};
    // Root and the disk group open devices directly, without asking anyone.
    if ((result.error != EACCES && result.error != EPERM) || ::stat(path.c_str(), &st) != 0 ||
        !S_ISBLK(st.st_mode))
        return result;
    const UdisksOpening opening =
        OpenThroughUdisks(path, (flags & O_ACCMODE) != O_RDONLY, (flags & O_EXCL) != 0);
    if (opening.fd >= 0) {
        result.fd = opening.fd;
        result.error = 0;
        return result;
    }
    result.note = std::string(std::strerror(result.error)) + "; " + opening.message;
    if (opening.busy) result.error = EBUSY;
    return result;
}

std::string DescribeOpenFailure(const std::string& path, const DeviceOpenResult& result) {
    if (result.error == EBUSY) {
        const std::vector<std::string> mounts = MountPointsOfDevice(path);
        std::string text;
        for (const std::string& mount : mounts) text += (text.empty() ? "" : ", ") + mount;
        if (!text.empty()) return "It is mounted at " + text + ".";
    }
    return result.note;
}

}  // namespace quillo
