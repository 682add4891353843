#include "engine/end_of_run.h"

#include "common/engine_state.h"

namespace quillo {
namespace {

std::string Join(std::initializer_list<const char*> lines) {
    std::string text;
    bool first = true;
    for (const char* line : lines) {
        if (!first) text += "\r\n";
        text += line;
        first = false;
    }
    return text;
}

// The error words of the internal and structural messages.
std::string WithErrorWords(std::string text, const RunState& run) {
    if (run.ErrorMessage.empty()) return text;
    text += "\r\n\r\nErr=" + run.ErrorMessage;
    if (!run.ErrorSource.empty()) text += ",  Source=" + run.ErrorSource;
    return text;
}

}  // namespace

EndOfRunMessage ChooseEndOfRunMessage(const RunState& run) {
    if (run.OutOfMemory)
        return {MessageStyle::Information,
                Join({"There is insufficient memory to run this application.",
                      "Close one or more other applications and try again."})};
    if (run.DiskIoFailed)
        return {MessageStyle::Critical,
                Join({"A serious disk error has been detected on this drive.",
                      "Please shutdown all applications and run ScanDisk.",
                      "Convert any lost cluster chains to files."})};
    if (run.DriveBusy)
        return {MessageStyle::Information,
                Join({"The drive is busy. Another program has locked it or",
                      "is accessing it intensively. Shutdown your other",
                      "applications or try again later."}) +
                    (run.BusyReason.empty() ? "" : "\r\n\r\n" + run.BusyReason)};
    if (run.InternalError)
        return {MessageStyle::Critical,
                WithErrorWords(Join({"An internal error has occurred. Copy down the error",
                                     "code below and contact Technical Support.", "",
                                     "Please shutdown all applications and run ScanDisk.",
                                     "Convert any lost cluster chains to files."}),
                               run)};
    if (run.StructuralError)
        return {MessageStyle::Critical,
                WithErrorWords(Join({"Structural errors have been detected on this drive.",
                                     "Please shutdown all applications and run ScanDisk.",
                                     "If ScanDisk does not report any errors on this drive",
                                     "you may continue working normally."}),
                               run)};
    return {};
}

}  // namespace quillo
