#pragma once
// The drive list of an unattended run ("quillo C D", "quillo *").
#include <string>
#include <vector>

namespace quillo::gui {

// The drive letters `list` names, in order. A letter counts only after a
// separator (any character below "A"), so "C D" names C and D while "CD"
// names only D: the first character of the list is always dropped, as the
// automatic run's "/" + "AutoDefrag" expects. Letters are upper case.
std::vector<char> DriveListLetters(const std::string& list);

}  // namespace quillo::gui
