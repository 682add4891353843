#include "platform/autorun.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

#include "platform/option_store.h"

extern char** environ;

namespace quillo {

AutorunOutcome RunScheduledDefrag(OptionStore& store, Day today,
                                  const std::function<bool(const std::vector<std::string>&)>& runWindowProgram) {
    if (!RunIsDue(ReadInterval(store), ReadScheduleDate(store), today)) return AutorunOutcome::NotDue;
    if (!runWindowProgram({"*"})) return AutorunOutcome::Failed;
    SaveTextOption(store, option_keys::Date, FormatScheduleDate(today));
    return AutorunOutcome::Ran;
}

bool RunProgramAndWait(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace quillo
