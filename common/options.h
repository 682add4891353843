#pragma once
// The preference variables, one per key of the option store. Loaded once at
// start-up; the engine reads them, only the preferences dialog changes them.
#include <cstdint>
#include <string>

namespace quillo {

struct Options {
    bool Background = false;
    bool NoHugeDefrag = false;
    int32_t DefragLim = 25;
    bool NoHugePack = false;
    int32_t PackLim = 25;
    bool Silent = false;
    bool FixedRegistry = false;
    bool StartMaximized = false;
    bool HideHisto = false;
    bool HideLargeList = false;
    std::string AutoDefrag;
    bool AutoBackground = false;
    int32_t AutoShow = 0;
    int32_t Height = 0;
    int32_t Width = 0;
};

}  // namespace quillo
