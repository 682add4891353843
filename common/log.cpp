#include "common/log.h"

#include <cstdio>
#include <cstdlib>

#include "common/engine_context.h"

namespace quillo {
namespace {

// p / q rounded to the nearest integer, halves away from zero (q > 0).
int64_t RoundedQuotient(int64_t p, int64_t q) {
    const int64_t magnitude = (std::llabs(p) * 2 + q) / (2 * q);
    return p < 0 ? -magnitude : magnitude;
}

std::string WithDecimals(int64_t scaled, int decimals) {
    if (decimals == 0) return std::to_string(scaled);
    const int64_t unit = decimals == 1 ? 10 : 100;
    const int64_t whole = std::llabs(scaled) / unit;
    const int64_t fraction = std::llabs(scaled) % unit;
    std::string text = (scaled < 0 ? "-" : "") + std::to_string(whole) + ".";
    if (decimals == 2 && fraction < 10) text += "0";
    return text + std::to_string(fraction);
}

}  // namespace

std::string FormatSize(int32_t sectors) {
    const int64_t n = sectors;
    if (n < 2048) {  // below one megabyte: half kilobytes
        if (n == 0) return ".0KB";
        if (n == 1) return ".5KB";
        std::string text = std::to_string(n / 2);
        if (n % 2 != 0) text += ".5";
        return text + "KB";
    }
    if (n < 10 * 2048) return WithDecimals(RoundedQuotient(n * 100, 2048), 2) + "MB";
    if (n < 100 * 2048) return WithDecimals(RoundedQuotient(n * 10, 2048), 1) + "MB";
    if (n < 1024 * 2048) return WithDecimals(RoundedQuotient(n, 2048), 0) + "MB";
    return WithDecimals(RoundedQuotient(n * 100, 2048 * 1000), 2) + "GB";
}

void AddLogLine(EngineContext& ctx, const std::string& text) {
    if (ctx.log.LogEnabled) {
        ctx.log.lines.push_back(text);
        ctx.view.AppendLogLine(text);
    }
    if (!ctx.dev.LockRaised) ctx.view.Yield();
}

void AddSizeLine(EngineContext& ctx, const std::string& label, int32_t sectors) {
    AddLogLine(ctx, label + FormatSize(sectors));
}

void ClearLog(EngineContext& ctx) {
    ctx.log.lines.clear();
    ctx.view.ClearLogLines();
    ctx.log.LogEnabled = true;
    ctx.scan.FixedCount = 0;
    ctx.run.StopRequested = false;
    ctx.view.ClearTextPanel();
}

void WriteLogFile(EngineContext& ctx, bool overwrite) {
    if (ctx.log.lines.empty() || ctx.log.LogPath.empty()) return;
    std::FILE* file = std::fopen(ctx.log.LogPath.c_str(), overwrite ? "wb" : "ab");
    if (file == nullptr) return;  // the log file is a courtesy; errors are ignored
    for (const std::string& line : ctx.log.lines) {
        std::fwrite(line.data(), 1, line.size(), file);
        std::fputs("\r\n", file);
    }
    std::fclose(file);
    if (overwrite) {
        ctx.log.lines.clear();
        ctx.view.ClearLogLines();
    }
}

}  // namespace quillo
