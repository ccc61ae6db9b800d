#include <gtest/gtest.h>
#include <string>

#include "protocol/code_page.h"
#include "tools/telviq-cli/json.h"
#include "tools/telviq-cli/text_encoding.h"

using cli::Json;

TEST(Json, RefusesWhatStrictJsonRefusesAndSaysWhere)
{
    const char* broken[] = {
        "",
        "{\"a\": 1,}",
        "[1, 2,]",
        "{'a': 1}",
        "{} // note",
        "{a: 1}",
        "\"tab\there\"",
        "\"\\x41\"",
        "\"\\u12\"",
        "\"\\udc00\"",
        "\"\\ud83d\"",
        "\"\xC3\"",
        "\"\xC0\xAF\"",
        "01",
        "1.",
        "+1",
        "tru",
        "[1] x",
        "\"open",
        "{\"a\": [1, 2}",
    };
    for (const char* text : broken) {
        Json value;
        std::string error;
        EXPECT_FALSE(cli::parseJson(text, value, error)) << "accepted: " << text;
    }
    Json value;
    std::string error;
    ASSERT_FALSE(cli::parseJson("{\n  \"hour\": 7,\n  \"hour\": 8\n}", value, error));
    EXPECT_EQ(error, "line 3, column 3: \"hour\" appears twice");
    // Nesting deep enough to exhaust the stack is refused, not followed.
    EXPECT_FALSE(cli::parseJson(std::string(100000, '['), value, error));
}

TEST(Json, ReadsEscapesAndKeepsMemberOrder)
{
    Json v;
    std::string error;
    ASSERT_TRUE(cli::parseJson("\xEF\xBB\xBF { \"z\": null, \"a\": [true, -0.5e+3],\r\n"
                               " \"s\": \"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\" }",
                               v, error))
        << error;
    ASSERT_EQ(v.members.size(), 3u);
    EXPECT_EQ(v.members[0].first, "z");
    EXPECT_EQ(v.members[0].second.type, Json::Type::null);
    EXPECT_TRUE(v.member("a")->items[0].boolean);
    EXPECT_EQ(v.member("a")->items[1].text, "-0.5e+3");
    EXPECT_EQ(v.member("s")->text, "\"\\/\b\f\n\r\t\xC3\xA9\xF0\x9F\x98\x80");
}

TEST(Json, EveryByteOfACameraTextSurvivesWritingAndReading)
{
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    Json object = Json::makeObject();
    object.add("text", Json::makeString(protocol::cameraTextToUtf8(all)));
    object.add("list", Json::makeArray());
    const std::string text = cli::writeJson(object);
    EXPECT_EQ(text.find('\x01'), std::string::npos) << "control characters go out escaped";

    Json back;
    std::string error;
    ASSERT_TRUE(cli::parseJson(text, back, error)) << error;
    EXPECT_EQ(protocol::utf8ToCameraText(back.member("text")->text), all);
    EXPECT_EQ(back.member("list")->type, Json::Type::array);
}

TEST(TextEncoding, ShowsOnlyTheRealControlCharactersAsQuestionMarks)
{
    // 0x80-0x9F are Windows-1252 characters ("\x9B" is a quotation mark, not a terminal's CSI)
    // but for the five it leaves unassigned.
    EXPECT_EQ(cli::printable("a\x1B[2Jb\x9B\x7F\xE9\x80\x81\x8D\x8F\x90\x9D\x9F"),
              "a?[2Jb\x9B?\xE9\x80?????\x9F");
}
