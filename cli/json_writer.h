#pragma once
// A flat JSON object written member by member, for scripts reading our output.
#include <cstdint>
#include <string>

namespace quillo::cli {

class JsonObject {
public:
    JsonObject& Add(const std::string& key, const std::string& value);
    JsonObject& Add(const std::string& key, const char* value) { return Add(key, std::string(value)); }
    JsonObject& Add(const std::string& key, int64_t value);
    JsonObject& Add(const std::string& key, bool value);
    std::string Text() const { return "{" + body_ + "}"; }

private:
    void Key(const std::string& key);
    std::string body_;
};

std::string JsonQuote(const std::string& text);

}  // namespace quillo::cli
