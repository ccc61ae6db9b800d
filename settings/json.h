#pragma once

#include <string>
#include <utility>
#include <vector>

namespace settings {

// The small part of JSON the settings files need. Objects keep their members in the order
// written; numbers keep the text they were written with, since every number here is a byte.
struct Json {
    enum class Type { null, boolean, number, string, array, object };

    Type type = Type::null;
    bool boolean = false;
    std::string text; // a string's UTF-8 value, or a number as written
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;

    static Json makeString(std::string value);
    static Json makeNumber(long long value);
    static Json makeArray() { return Json{Type::array, false, {}, {}, {}}; }
    static Json makeObject() { return Json{Type::object, false, {}, {}, {}}; }

    void add(std::string name, Json value)
    {
        members.emplace_back(std::move(name), std::move(value));
    }
    const Json* member(const std::string& name) const;
};

// Strict RFC 8259: no comments, no trailing commas, no duplicate member names, valid UTF-8.
// On failure returns false with the line and column of the fault in `error`.
bool parseJson(const std::string& text, Json& out, std::string& error);

// Indented by two spaces, with a final newline.
std::string writeJson(const Json& value);

} // namespace settings
