#include "platform/udisks.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <variant>

namespace quillo {
namespace {

constexpr const char* kService = "org.freedesktop.UDisks2";
constexpr const char* kManagerPath = "/org/freedesktop/UDisks2/Manager";
constexpr const char* kRootPath = "/org/freedesktop/UDisks2";
// OpenDevice waits while polkit asks the user for authorisation.
constexpr uint64_t kAuthoriseTimeoutUsec = 120ull * 1000 * 1000;

// Owners of sd-bus objects, so that every return path releases them.
struct Bus {
    sd_bus* bus = nullptr;
    ~Bus() { sd_bus_flush_close_unref(bus); }
};
struct Error {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~Error() { sd_bus_error_free(&error); }
};
struct Message {
    sd_bus_message* message = nullptr;
    ~Message() { sd_bus_message_unref(message); }
};

// The bus answers, but nobody owns or can start the service's name.
bool ServiceMissing(const sd_bus_error& error) {
    return sd_bus_error_has_names(&error, SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER,
                                  "org.freedesktop.DBus.Error.Spawn.ServiceNotFound",
                                  "org.freedesktop.DBus.Error.Spawn.ChildExited");
}

// The system bus, or the one DBUS_SYSTEM_BUS_ADDRESS names (sd-bus honours it).
bool OpenSystemBus(Bus& bus) { return sd_bus_open_system(&bus.bus) >= 0; }

// Manager.ResolveDevice: the block object of a device file; empty when the
// service does not know it.
std::string BlockObjectOf(Bus& bus, const std::string& devicePath, Error& error) {
    Message call, reply;
    if (sd_bus_message_new_method_call(bus.bus, &call.message, kService, kManagerPath,
                                       "org.freedesktop.UDisks2.Manager", "ResolveDevice") < 0 ||
        sd_bus_message_append(call.message, "a{sv}", 1, "path", "s", devicePath.c_str()) < 0 ||
        sd_bus_message_append(call.message, "a{sv}", 0) < 0 ||
        sd_bus_call(bus.bus, call.message, 0, &error.error, &reply.message) < 0 ||
        sd_bus_message_enter_container(reply.message, 'a', "o") < 0)
        return "";
    const char* object = nullptr;
    return sd_bus_message_read(reply.message, "o", &object) > 0 ? object : "";
}

// A property value as far as the listing needs one.
using Value = std::variant<std::monostate, std::string, bool, uint64_t, std::vector<std::string>>;
using Properties = std::map<std::string, Value>;
using Objects = std::map<std::string, std::map<std::string, Properties>>;

// "ay" holds a file name ending in a NUL.
bool ReadByteString(sd_bus_message* m, std::string& text) {
    const void* bytes = nullptr;
    size_t size = 0;
    if (sd_bus_message_read_array(m, 'y', &bytes, &size) < 0) return false;
    text.assign(static_cast<const char*>(bytes), size);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return true;
}

bool ReadVariant(sd_bus_message* m, Value& value) {
    char type = 0;
    const char* contents = nullptr;
    if (sd_bus_message_peek_type(m, &type, &contents) < 0 ||
        sd_bus_message_enter_container(m, 'v', contents) < 0)
        return false;
    const std::string signature = contents;
    bool ok = true;
    if (signature == "s" || signature == "o") {
        const char* text = nullptr;
        ok = sd_bus_message_read_basic(m, signature[0], &text) > 0;
        if (ok) value = std::string(text);
    } else if (signature == "b") {
        int flag = 0;
        ok = sd_bus_message_read_basic(m, 'b', &flag) > 0;
        value = flag != 0;
    } else if (signature == "t") {
        uint64_t number = 0;
        ok = sd_bus_message_read_basic(m, 't', &number) > 0;
        value = number;
    } else if (signature == "ay") {
        std::string text;
        ok = ReadByteString(m, text);
        value = text;
    } else if (signature == "aay") {
        std::vector<std::string> list;
        ok = sd_bus_message_enter_container(m, 'a', "ay") >= 0;
        for (std::string text; ok && !sd_bus_message_at_end(m, false) && ReadByteString(m, text);)
            list.push_back(text);
        ok = ok && sd_bus_message_exit_container(m) >= 0;
        value = list;
    } else {
        ok = sd_bus_message_skip(m, contents) >= 0;
    }
    return ok && sd_bus_message_exit_container(m) >= 0;
}

// ObjectManager.GetManagedObjects: a{oa{sa{sv}}}.
bool ReadObjects(sd_bus_message* m, Objects& objects) {
    if (sd_bus_message_enter_container(m, 'a', "{oa{sa{sv}}}") < 0) return false;
    while (sd_bus_message_enter_container(m, 'e', "oa{sa{sv}}") > 0) {
        const char* path = nullptr;
        if (sd_bus_message_read(m, "o", &path) < 0 ||
            sd_bus_message_enter_container(m, 'a', "{sa{sv}}") < 0)
            return false;
        while (sd_bus_message_enter_container(m, 'e', "sa{sv}") > 0) {
            const char* interface = nullptr;
            if (sd_bus_message_read(m, "s", &interface) < 0 ||
                sd_bus_message_enter_container(m, 'a', "{sv}") < 0)
                return false;
            Properties& properties = objects[path][interface];
            while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
                const char* name = nullptr;
                if (sd_bus_message_read(m, "s", &name) < 0 || !ReadVariant(m, properties[name]) ||
                    sd_bus_message_exit_container(m) < 0)
                    return false;
            }
            if (sd_bus_message_exit_container(m) < 0 || sd_bus_message_exit_container(m) < 0) return false;
        }
        if (sd_bus_message_exit_container(m) < 0 || sd_bus_message_exit_container(m) < 0) return false;
    }
    return sd_bus_message_exit_container(m) >= 0;
}

template <typename T>
T Get(const Properties& properties, const char* name) {
    const auto found = properties.find(name);
    if (found == properties.end()) return T{};
    const T* value = std::get_if<T>(&found->second);
    return value != nullptr ? *value : T{};
}

}  // namespace

UdisksOpening OpenThroughUdisks(const std::string& devicePath, bool writable, bool exclusive) {
    UdisksOpening opening;
    Bus bus;
    Error error;
    if (!OpenSystemBus(bus)) {
        opening.message = kNoUdisksService;
        return opening;
    }
    const std::string object = BlockObjectOf(bus, devicePath, error);
    if (ServiceMissing(error.error)) {
        opening.message = kNoUdisksService;
        return opening;
    }
    opening.serviceFound = true;
    if (object.empty()) {
        opening.message = error.error.message != nullptr ? std::string("UDisks2: ") + error.error.message
                                                         : "UDisks2 does not know " + devicePath;
        return opening;
    }
    Message call, reply;
    const int flags = O_CLOEXEC | (exclusive ? O_EXCL : 0);
    int fd = -1;
    if (sd_bus_message_new_method_call(bus.bus, &call.message, kService, object.c_str(),
                                       "org.freedesktop.UDisks2.Block", "OpenDevice") < 0 ||
        sd_bus_message_set_allow_interactive_authorization(call.message, 1) < 0 ||
        sd_bus_message_append(call.message, "s", writable ? "rw" : "r") < 0 ||
        sd_bus_message_append(call.message, "a{sv}", 1, "flags", "i", flags) < 0 ||
        sd_bus_call(bus.bus, call.message, kAuthoriseTimeoutUsec, &error.error, &reply.message) < 0 ||
        sd_bus_message_read(reply.message, "h", &fd) < 0) {
        const std::string why = error.error.message != nullptr ? error.error.message : "no answer";
        // The service reports the failed open(2) in words only.
        opening.busy = why.find(std::strerror(EBUSY)) != std::string::npos;
        opening.message = "UDisks2 cannot open " + devicePath + ": " + why;
        return opening;
    }
    // The descriptor belongs to the reply; keep a copy of our own.
    opening.fd = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (opening.fd < 0) opening.message = "UDisks2 cannot open " + devicePath + ": " + std::strerror(errno);
    return opening;
}

std::vector<RemovableVolume> RemovableFatVolumes(std::string* problem) {
    std::vector<RemovableVolume> volumes;
    Bus bus;
    Error error;
    Message reply;
    Objects objects;
    if (!OpenSystemBus(bus) ||
        sd_bus_call_method(bus.bus, kService, kRootPath, "org.freedesktop.DBus.ObjectManager",
                           "GetManagedObjects", &error.error, &reply.message, "") < 0 ||
        !ReadObjects(reply.message, objects)) {
        if (problem != nullptr)
            *problem = !bus.bus || ServiceMissing(error.error) ? kNoUdisksService
                                                                : "UDisks2 did not list its devices";
        return volumes;
    }
    for (const auto& [path, interfaces] : objects) {
        const auto block = interfaces.find("org.freedesktop.UDisks2.Block");
        const auto filesystem = interfaces.find("org.freedesktop.UDisks2.Filesystem");
        if (block == interfaces.end() || filesystem == interfaces.end()) continue;
        const Properties& b = block->second;
        if (Get<std::string>(b, "IdType") != "vfat" || Get<bool>(b, "HintIgnore")) continue;
        const auto drive = objects.find(Get<std::string>(b, "Drive"));
        if (drive == objects.end()) continue;
        const auto driveProperties = drive->second.find("org.freedesktop.UDisks2.Drive");
        if (driveProperties == drive->second.end() || !Get<bool>(driveProperties->second, "Removable"))
            continue;
        volumes.push_back({Get<std::string>(b, "Device"), Get<std::string>(b, "IdLabel"),
                           Get<uint64_t>(b, "Size"),
                           Get<std::vector<std::string>>(filesystem->second, "MountPoints")});
    }
    return volumes;
}

}  // namespace quillo
