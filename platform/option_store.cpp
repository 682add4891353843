#include "platform/option_store.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

#include "platform/config_paths.h"

namespace quillo {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string TrimSpaces(const std::string& text) {
    size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) return std::string();
    size_t end = text.find_last_not_of(' ');
    return text.substr(begin, end - begin + 1);
}

// Length of the unsigned decimal number (digits, fraction, exponent) at the
// start of `text`; 0 when there is none.
size_t UnsignedNumberLength(const char* text, size_t size) {
    size_t i = 0;
    size_t digits = 0;
    while (i < size && IsDigit(text[i])) ++i, ++digits;
    if (i < size && text[i] == '.') {
        size_t afterPoint = i + 1;
        while (afterPoint < size && IsDigit(text[afterPoint])) ++afterPoint, ++digits;
        i = afterPoint;
    }
    if (digits == 0) return 0;
    if (i < size && (text[i] == 'e' || text[i] == 'E')) {
        size_t e = i + 1;
        if (e < size && (text[e] == '+' || text[e] == '-')) ++e;
        if (e < size && IsDigit(text[e])) {
            while (e < size && IsDigit(text[e])) ++e;
            i = e;
        }
    }
    return i;
}

int32_t RoundHalfEvenClamped(double value) {
    double whole = std::floor(value);
    double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    if (whole >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (whole <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(whole);
}

bool ReadBoolean(const OptionStore& store, const char* key) {
    return OptionIsTrue(store.ReadText(key, "No"));
}

int32_t ReadNumber(const OptionStore& store, const char* key, const char* defaultText) {
    return NumericValue(store.ReadText(key, defaultText));
}

}  // namespace

bool OptionIsTrue(const std::string& text) { return text == "Yes"; }

int32_t NumericValue(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const char* number = text.data() + i;
    size_t length = UnsignedNumberLength(number, text.size() - i);
    if (length == 0) return 0;

    // from_chars, unlike strtod, ignores the locale's decimal separator.
    double value = 0.0;
    auto [end, error] = std::from_chars(number, number + length, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Too small to matter or too large for any option: decide by the
        // exponent's sign.
        size_t e = std::string_view(number, length).find_first_of("eE");
        bool tiny = e != std::string_view::npos && e + 1 < length && number[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (error != std::errc() || end != number + length) {
        return 0;
    }
    return RoundHalfEvenClamped(negative ? -value : value);
}

Options LoadAllOptions(const OptionStore& store) {
    namespace k = option_keys;
    Options options;
    options.StartMaximized = ReadBoolean(store, k::StartMaximized);
    options.HideHisto = ReadBoolean(store, k::HideHisto);
    options.HideLargeList = ReadBoolean(store, k::HideLargeList);
    options.AutoDefrag = TrimSpaces(store.ReadText(k::AutoDefrag, ""));
    options.AutoBackground = ReadBoolean(store, "AutoBackGround");  // the start-up reader's spelling
    options.AutoShow = ReadNumber(store, k::AutoShow, "0");
    options.Background = ReadBoolean(store, k::Background);
    options.NoHugeDefrag = ReadBoolean(store, k::NoHugeDefrag);
    options.NoHugePack = ReadBoolean(store, k::NoHugePack);
    options.DefragLim = ReadNumber(store, k::DefragLim, "25");
    options.PackLim = ReadNumber(store, k::PackLim, "25");
    options.Silent = ReadBoolean(store, k::Silent);
    options.FixedRegistry = ReadBoolean(store, k::FixedRegistry);
    return options;
}

WindowSize ReadWindowSize(const OptionStore& store) {
    return {ReadNumber(store, option_keys::Height, "0"), ReadNumber(store, option_keys::Width, "0")};
}

void SaveWindowSize(OptionStore& store, int32_t height, int32_t width) {
    if (height != 0) SaveNumber(store, option_keys::Height, height);
    if (width != 0) SaveNumber(store, option_keys::Width, width);
}

int32_t ReadInterval(const OptionStore& store) { return ReadNumber(store, option_keys::Interval, "-1"); }

std::string ReadScheduleDate(const OptionStore& store) { return store.ReadText(option_keys::Date, ""); }

bool SaveBooleanOption(OptionStore& store, const std::string& key, bool checked, bool& variable) {
    variable = checked;
    return store.WriteText(key, checked ? "Yes" : "No");
}

int32_t SaveNumericOption(OptionStore& store, const std::string& key, std::string& field) {
    int32_t number = NumericValue(field);
    if (number < 0) number = 0;
    if (number > 999) number = 999;
    field = std::to_string(number);
    store.WriteText(key, field);
    return number;
}

bool SaveTextOption(OptionStore& store, const std::string& key, const std::string& text) {
    return store.WriteText(key, text);
}

bool SaveNumber(OptionStore& store, const std::string& key, int32_t number) {
    return store.WriteText(key, std::to_string(number));
}

OptionStore::OptionStore(std::string path) : path_(std::move(path)), cache_(IniFile::Load(path_)) {}

OptionStore OptionStore::ForApplication(const std::string& appName) {
    return OptionStore(OptionStorePath(appName));
}

std::string OptionStore::ReadText(const std::string& key, const std::string& defaultText) const {
    return ReadValue(kOptionsSection, key, defaultText);
}

bool OptionStore::WriteText(const std::string& key, const std::string& text) {
    return WriteValue(kOptionsSection, key, text);
}

std::string OptionStore::ReadValue(const std::string& section, const std::string& key,
                                   const std::string& defaultText) const {
    std::string value;
    return cache_.Read(section, key, value) ? value : defaultText;
}

bool OptionStore::WriteValue(const std::string& section, const std::string& key, const std::string& text) {
    return Update([&](IniFile& ini) { ini.Write(section, key, text); });
}

bool OptionStore::RemoveValue(const std::string& section, const std::string& key) {
    return Update([&](IniFile& ini) { ini.Remove(section, key); });
}

std::vector<IniEntry> OptionStore::ReadSection(const std::string& section) const {
    return cache_.ReadSection(section);
}

bool OptionStore::ReplaceSection(const std::string& section, const std::vector<IniEntry>& entries) {
    return Update([&](IniFile& ini) { ini.ReplaceSection(section, entries); });
}

template <typename Change>
bool OptionStore::Update(Change change) {
    change(cache_);  // this process sees its own write even when the disk refuses it
    IniFile onDisk = IniFile::Load(path_);
    change(onDisk);
    return onDisk.Save(path_);
}

}  // namespace quillo
