#include "cli/json_writer.h"

#include <cstdio>

namespace quillo::cli {

std::string JsonQuote(const std::string& text) {
    std::string quoted = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"': quoted += "\\\""; break;
            case '\\': quoted += "\\\\"; break;
            case '\n': quoted += "\\n"; break;
            case '\r': quoted += "\\r"; break;
            case '\t': quoted += "\\t"; break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    quoted += escaped;
                } else {
                    quoted += static_cast<char>(c);
                }
        }
    }
    return quoted + "\"";
}

void JsonObject::Key(const std::string& key) {
    if (!body_.empty()) body_ += ", ";
    body_ += JsonQuote(key) + ": ";
}

JsonObject& JsonObject::Add(const std::string& key, const std::string& value) {
    Key(key);
    body_ += JsonQuote(value);
    return *this;
}

JsonObject& JsonObject::Add(const std::string& key, int64_t value) {
    Key(key);
    body_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::Add(const std::string& key, bool value) {
    Key(key);
    body_ += value ? "true" : "false";
    return *this;
}

}  // namespace quillo::cli
