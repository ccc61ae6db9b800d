#include "settings/json.h"

#include <cstdint>
#include <cstdio>

#include "protocol/code_page.h"

namespace settings {

namespace {

// Deeper nesting than any settings file needs; a hostile file must not exhaust the stack.
constexpr int kMaxDepth = 64;

class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    bool parseDocument(Json& out, std::string& error)
    {
        // A byte order mark is what some editors put at the start of every UTF-8 file.
        if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            pos_ = 3;
        }
        skipSpace();
        if (!parseValue(out, 0)) {
            error = where() + message_;
            return false;
        }
        skipSpace();
        if (pos_ != text_.size()) {
            error = where() + "unexpected text after the end";
            return false;
        }
        return true;
    }

private:
    std::string where() const
    {
        int line = 1;
        int column = 1;
        for (std::size_t i = 0; i < pos_ && i < text_.size(); ++i) {
            if (text_[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
    }

    bool fail(const std::string& message)
    {
        message_ = message;
        return false;
    }

    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }

    void skipSpace()
    {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) {
            ++pos_;
        }
    }

    bool literal(const char* word)
    {
        const std::string w(word);
        if (text_.compare(pos_, w.size(), w) != 0) {
            return fail("unknown word");
        }
        pos_ += w.size();
        return true;
    }

    bool parseValue(Json& out, int depth)
    {
        if (depth > kMaxDepth) {
            return fail("nested too deeply");
        }
        switch (peek()) {
        case '{':
            return parseObject(out, depth);
        case '[':
            return parseArray(out, depth);
        case '"':
            out.type = Json::Type::string;
            return parseString(out.text);
        case 't':
            out.type = Json::Type::boolean;
            out.boolean = true;
            return literal("true");
        case 'f':
            out.type = Json::Type::boolean;
            out.boolean = false;
            return literal("false");
        case 'n':
            out.type = Json::Type::null;
            return literal("null");
        default:
            if (peek() == '-' || (peek() >= '0' && peek() <= '9')) {
                return parseNumber(out);
            }
            return fail(atEnd() ? "unexpected end of the text" : "a value was expected");
        }
    }

    bool digits()
    {
        const std::size_t start = pos_;
        while (peek() >= '0' && peek() <= '9') {
            ++pos_;
        }
        return pos_ > start;
    }

    bool parseNumber(Json& out)
    {
        const std::size_t start = pos_;
        if (peek() == '-') {
            ++pos_;
        }
        if (peek() == '0') {
            ++pos_;
        } else if (!digits()) {
            return fail("a digit was expected");
        }
        if (peek() == '.') {
            ++pos_;
            if (!digits()) {
                return fail("a digit was expected after the decimal point");
            }
        }
        if (peek() == 'e' || peek() == 'E') {
            ++pos_;
            if (peek() == '+' || peek() == '-') {
                ++pos_;
            }
            if (!digits()) {
                return fail("a digit was expected in the exponent");
            }
        }
        out.type = Json::Type::number;
        out.text = text_.substr(start, pos_ - start);
        return true;
    }

    bool hex4(std::uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = peek();
            int digit = -1;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                digit = c - 'A' + 10;
            }
            if (digit < 0) {
                return fail("four hexadecimal digits were expected after \\u");
            }
            value = value * 16 + static_cast<std::uint32_t>(digit);
            ++pos_;
        }
        return true;
    }

    bool escape(std::string& out)
    {
        const char c = peek();
        ++pos_;
        switch (c) {
        case '"':
        case '\\':
        case '/':
            out += c;
            return true;
        case 'b':
            out += '\b';
            return true;
        case 'f':
            out += '\f';
            return true;
        case 'n':
            out += '\n';
            return true;
        case 'r':
            out += '\r';
            return true;
        case 't':
            out += '\t';
            return true;
        case 'u':
            break;
        default:
            --pos_;
            return fail("unknown escape");
        }
        std::uint32_t code = 0;
        if (!hex4(code)) {
            return false;
        }
        if (code >= 0xDC00 && code <= 0xDFFF) {
            return fail("a lone low surrogate");
        }
        if (code >= 0xD800 && code <= 0xDBFF) {
            std::uint32_t low = 0;
            if (text_.compare(pos_, 2, "\\u") != 0) {
                return fail("a high surrogate without its low half");
            }
            pos_ += 2;
            if (!hex4(low)) {
                return false;
            }
            if (low < 0xDC00 || low > 0xDFFF) {
                return fail("a high surrogate without its low half");
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        protocol::appendUtf8(out, code);
        return true;
    }

    bool parseString(std::string& out)
    {
        ++pos_; // the opening quote
        out.clear();
        const std::size_t start = pos_;
        while (true) {
            if (atEnd()) {
                return fail("a string without its closing quote");
            }
            const char c = peek();
            if (c == '"') {
                ++pos_;
                break;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return fail("a control character inside a string");
            }
            ++pos_;
            if (c == '\\') {
                if (!escape(out)) {
                    return false;
                }
            } else {
                out += c;
            }
        }
        if (!protocol::isValidUtf8(out)) {
            pos_ = start;
            return fail("a string that is not valid UTF-8");
        }
        return true;
    }

    bool parseArray(Json& out, int depth)
    {
        ++pos_;
        out = Json::makeArray();
        skipSpace();
        if (peek() == ']') {
            ++pos_;
            return true;
        }
        while (true) {
            skipSpace();
            Json item;
            if (!parseValue(item, depth + 1)) {
                return false;
            }
            out.items.push_back(std::move(item));
            skipSpace();
            if (peek() == ',') {
                ++pos_;
            } else if (peek() == ']') {
                ++pos_;
                return true;
            } else {
                return fail("',' or ']' was expected");
            }
        }
    }

    bool parseObject(Json& out, int depth)
    {
        ++pos_;
        out = Json::makeObject();
        skipSpace();
        if (peek() == '}') {
            ++pos_;
            return true;
        }
        while (true) {
            skipSpace();
            if (peek() != '"') {
                return fail("a member name in double quotes was expected");
            }
            const std::size_t nameAt = pos_;
            std::string name;
            if (!parseString(name)) {
                return false;
            }
            // Two values for one setting leave no way to tell which was meant.
            if (out.member(name) != nullptr) {
                pos_ = nameAt;
                return fail("\"" + name + "\" appears twice");
            }
            skipSpace();
            if (peek() != ':') {
                return fail("':' was expected");
            }
            ++pos_;
            skipSpace();
            Json value;
            if (!parseValue(value, depth + 1)) {
                return false;
            }
            out.add(std::move(name), std::move(value));
            skipSpace();
            if (peek() == ',') {
                ++pos_;
            } else if (peek() == '}') {
                ++pos_;
                return true;
            } else {
                return fail("',' or '}' was expected");
            }
        }
    }

    const std::string& text_;
    std::size_t pos_ = 0;
    std::string message_;
};

void writeString(const std::string& value, std::string& out)
{
    out += '"';
    for (const char c : value) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                char code[8];
                std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned char>(c));
                out += code;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void writeValue(const Json& value, int indent, std::string& out)
{
    const std::string inner(static_cast<std::size_t>(indent + 2), ' ');
    const std::string outer(static_cast<std::size_t>(indent), ' ');
    switch (value.type) {
    case Json::Type::null:
        out += "null";
        break;
    case Json::Type::boolean:
        out += value.boolean ? "true" : "false";
        break;
    case Json::Type::number:
        out += value.text;
        break;
    case Json::Type::string:
        writeString(value.text, out);
        break;
    case Json::Type::array:
        if (value.items.empty()) {
            out += "[]";
            break;
        }
        out += "[\n";
        for (std::size_t i = 0; i < value.items.size(); ++i) {
            out += inner;
            writeValue(value.items[i], indent + 2, out);
            out += i + 1 < value.items.size() ? ",\n" : "\n";
        }
        out += outer + "]";
        break;
    case Json::Type::object:
        if (value.members.empty()) {
            out += "{}";
            break;
        }
        out += "{\n";
        for (std::size_t i = 0; i < value.members.size(); ++i) {
            out += inner;
            writeString(value.members[i].first, out);
            out += ": ";
            writeValue(value.members[i].second, indent + 2, out);
            out += i + 1 < value.members.size() ? ",\n" : "\n";
        }
        out += outer + "}";
        break;
    }
}

} // namespace

Json Json::makeString(std::string value)
{
    Json json;
    json.type = Type::string;
    json.text = std::move(value);
    return json;
}

Json Json::makeNumber(long long value)
{
    Json json;
    json.type = Type::number;
    json.text = std::to_string(value);
    return json;
}

const Json* Json::member(const std::string& name) const
{
    for (const auto& [key, value] : members) {
        if (key == name) {
            return &value;
        }
    }
    return nullptr;
}

bool parseJson(const std::string& text, Json& out, std::string& error)
{
    Parser parser(text);
    return parser.parseDocument(out, error);
}

std::string writeJson(const Json& value)
{
    std::string out;
    writeValue(value, 0, out);
    out += '\n';
    return out;
}

} // namespace settings
