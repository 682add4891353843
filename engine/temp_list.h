#pragma once
// The folder list ("Temps"): every file below a folder that the user could
// remove now, as its path below the folder and its modification date; the
// auxiliary list holds every subfolder walked. Deleting moves the chosen
// files to the Trash, then the folders left without files.
#include <ctime>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/list_source.h"
#include "platform/temp_walk.h"

namespace quillo {

class FolderListSource final : public ListSource {
public:
    // `folder` ends in '/'; an empty folder gives an empty list.
    FolderListSource(ListEnvironment& env, std::string folder);

    FillEnd Fill(ListSink& sink) override;
    RowTarget Target(const ListRow& row) const override;
    DeleteOutcome Delete(const std::vector<ListRow>& selected) override;

private:
    // Moves the walked folders that hold no file (directly or below) to the
    // Trash, innermost first.
    void RemoveEmptyFolders();

    std::string folder_;
    std::unordered_map<std::string, FileIdentity> listed_;  // by path below the folder
    std::vector<WalkedFolder> folders_;                     // in walk order
};

// The date in the user's short date format (the C library's "%x").
std::string ShortDate(std::time_t when);
// Whole calendar days from the local date of `when` to today.
int DaysBeforeToday(std::time_t when);

}  // namespace quillo
