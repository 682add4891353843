#include "mainwindow/drive_list.h"

#include <cctype>

namespace quillo::gui {

std::string UnattendedDriveList(const std::string& commandLine, const std::string& autoDefrag) {
    if (commandLine.empty()) return "";
    return "/" + (commandLine == "*" ? autoDefrag : commandLine);
}

std::vector<char> DriveListLetters(const std::string& list) {
    std::string rest = list + "/";
    for (char& c : rest) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::vector<char> letters;
    size_t at = 0;  // rest[at..] is the list still to read
    while (rest.size() - at >= 2) {
        ++at;
        while (at < rest.size() && static_cast<unsigned char>(rest[at]) < 'A') ++at;
        if (at == rest.size()) break;
        letters.push_back(rest[at]);
    }
    return letters;
}

}  // namespace quillo::gui
