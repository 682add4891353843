// The Tools items and the toolbar button that open the cleaner window.
#include "cleaner/xclean.h"
#include "engine/volume_file_delete.h"
#include "mainwindow/main_window.h"

namespace quillo::gui {

const char* CleanerKeywordOf(const QString& item) {
    static const std::pair<const char*, const char*> kItems[] = {
        {"DeleteTemps_", "Temps"},          {"Duplicate_", "Duplicates"},    {"TaskList_", "TaskList"},
        {"DeleteCookies_", "Cookies"},      {"TempInternet_", "TempInternet"}, {"URLcache_", "URLcache"}};
    for (const auto& [name, keyword] : kItems)
        if (item == name) return keyword;
    return nullptr;
}

void NTQuilF::OpenCleanerList(const std::string& keyword) {
    LockInterface();
    PageKeyword = keyword;
    ListEnvironment env{*ctx_, TempPath, [this](char letter) {
                            const DriveAssignment* drive = drives_.Table().Find(letter);
                            return VolumeRestoreFolder(drive != nullptr ? drive->path : "", letter);
                        }};
    env.internetCacheFolder = InternetCacheFolder;
    {
        Xclean window(env, keyword, this);
        window.exec();
    }
    UnlockInterface();
}

}  // namespace quillo::gui
