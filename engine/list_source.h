#pragma once
// The cleaner's lists apart from any window: each keyword names a source
// that fills rows into a sink, says what a row stands for (Open,
// Properties) and deletes the rows chosen. The window and the console
// front end drive the same sources, so both show the same rows.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace quillo {

struct EngineContext;

// One named value of a row, for scripts reading the console's --json.
struct RowField {
    std::string name;
    std::variant<std::string, int64_t, bool> value;
};

struct ListRow {
    std::string text;        // as shown: columns separated by tabs
    bool isFolder = false;   // the row's data: a folder of the "Frags" list
    std::string key;         // the source's own handle on the row (a path)
    std::vector<RowField> fields;
};

// The order of every list: case-insensitive for ASCII letters, byte order
// otherwise; rows that compare equal keep the order they came in.
bool RowTextLess(const std::string& a, const std::string& b);
void SortRows(std::vector<ListRow>& rows);

// "The number of list items exceeds the" / "displayable limit of 32766
// files. A" / "partial list will be displayed.", joined by "\n". (The limit
// applied is kRowLimit.)
extern const char* const kRowLimitMessage;

// Where a list's rows go while it is built. The limit is kept here, so the
// window and the console refuse the same row.
class ListSink {
public:
    static constexpr int kRowLimit = 32736;
    virtual ~ListSink() = default;

    // Adds a row. When the list already holds kRowLimit rows the row is
    // refused, the limit message is shown (once) and false returned: the
    // filler stops.
    bool AddRow(ListRow row);
    int RowCount() const { return rows_; }
    bool LimitReached() const { return limitReached_; }
    // Before a list is built again.
    void Restart() {
        rows_ = 0;
        limitReached_ = false;
    }

    // The auxiliary list: folders met by a folder walk.
    virtual void AddAuxiliaryRow(const std::string&) {}
    // Progress of the duplicate scan, 0..100.
    virtual void SetProgress(int) {}
    // Lets the window serve pending events; false once a stop was asked for.
    virtual bool KeepGoing() { return true; }
    // "Error accessing " + drive + ". Continue?"; true goes on with the next drive.
    virtual bool ContinueAfterError(const std::string&) { return true; }

protected:
    virtual void AppendRow(ListRow row) = 0;
    virtual void ShowLimitMessage() = 0;

private:
    int rows_ = 0;
    bool limitReached_ = false;
};

// What a row stands for, for Open and Properties.
struct RowTarget {
    enum class Kind { None, HostFile, VolumeFile, Url };
    Kind kind = Kind::None;
    std::string path;  // HostFile: absolute; VolumeFile: "C:\Docs\Letter.txt"; Url: the address
};

// How a fill ended.
struct FillEnd {
    bool stopped = false;      // a stop request ended it; the window closes
    bool errorStop = false;    // ... because of this error
    std::string errorMessage;
};

// The message of a delete that moved nothing.
extern const char* const kFilesNotDeleted;

// What a delete did; the window applies it.
struct DeleteOutcome {
    std::vector<std::string> removedKeys;  // rows to take out (by key)
    bool rebuild = false;                  // build the whole list again instead
    std::string message;                   // shown afterwards with an OK button; empty: none
};

// The program's world the sources work in.
struct ListEnvironment {
    EngineContext& ctx;   // the front end's: drives, drive menu, options, the last run's lists
    std::string tempPath; // the temporary folder with its trailing '/'
    // The host folder under which the files of drive `letter` are restored
    // from the Trash (see VolumeRestoreFolder).
    std::function<std::string(char)> restoreFolder;
    // The internet cache folder ("TempInternet") with its trailing '/';
    // empty when no browser profile was found.
    std::string internetCacheFolder = {};
};

class ListSource {
public:
    explicit ListSource(ListEnvironment& env) : env_(env) {}
    virtual ~ListSource() = default;
    ListSource(const ListSource&) = delete;
    ListSource& operator=(const ListSource&) = delete;

    virtual FillEnd Fill(ListSink& sink) = 0;
    virtual RowTarget Target(const ListRow&) const { return {}; }
    // Deletes the selected rows (the caller asked the user first).
    virtual DeleteOutcome Delete(const std::vector<ListRow>&) { return {}; }
    // A volume is open for the list right now: the window may not close.
    virtual bool HoldsVolume() const { return false; }

protected:
    ListEnvironment& env_;
};

// The keyword table: what each list is called and which commands it offers.
struct ListKind {
    const char* keyword;
    const char* caption;
    int helpContext;
    bool canOpen;
    bool canDelete;
    bool canShowProperties;
    bool canSelect;       // the Edit menu
    bool countInCaption;  // the caption ends in " (<rows>)" once filled
    bool partialInCaption;  // a list cut at the limit says " (partial)" in its caption
};

// The kind of `keyword`; null for a keyword that names no list.
const ListKind* FindListKind(const std::string& keyword);
// The source of `keyword`; null for a keyword that names no list (yet).
std::unique_ptr<ListSource> MakeListSource(const std::string& keyword, ListEnvironment& env);

}  // namespace quillo
