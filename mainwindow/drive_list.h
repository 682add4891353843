#pragma once
// The drive list of an unattended run ("quillo C D", "quillo *").
#include <string>
#include <vector>

namespace quillo::gui {

// The list an unattended run works through: the command line, or for "*"
// the stored "AutoDefrag" letters, with a "/" in front so that its first
// letter counts ("C D" runs C: and D:). Empty for an empty command line.
std::string UnattendedDriveList(const std::string& commandLine, const std::string& autoDefrag);

// The drive letters `list` names, in order. A letter counts only after a
// separator (any character below "A"), and the first character of the list
// is always taken as one: "/C D" names C and D, "C D" only D. Letters are
// upper case.
std::vector<char> DriveListLetters(const std::string& list);

}  // namespace quillo::gui
