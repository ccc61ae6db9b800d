#include <gtest/gtest.h>
#include <string>

#include "protocol/code_page.h"
#include "settings/json.h"

using settings::Json;

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
        settings::Json value;
        std::string error;
        EXPECT_FALSE(settings::parseJson(text, value, error)) << "accepted: " << text;
    }
    settings::Json value;
    std::string error;
    ASSERT_FALSE(settings::parseJson("{\n  \"hour\": 7,\n  \"hour\": 8\n}", value, error));
    EXPECT_EQ(error, "line 3, column 3: \"hour\" appears twice");
    // Nesting deep enough to exhaust the stack is refused, not followed.
    EXPECT_FALSE(settings::parseJson(std::string(100000, '['), value, error));
}

TEST(Json, ReadsEscapesAndKeepsMemberOrder)
{
    settings::Json v;
    std::string error;
    ASSERT_TRUE(settings::parseJson("\xEF\xBB\xBF { \"z\": null, \"a\": [true, -0.5e+3],\r\n"
                                    " \"s\": \"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\" }",
                                    v, error))
        << error;
    ASSERT_EQ(v.members.size(), 3u);
    EXPECT_EQ(v.members[0].first, "z");
    EXPECT_EQ(v.members[0].second.type, settings::Json::Type::null);
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
    settings::Json object = settings::Json::makeObject();
    object.add("text", settings::Json::makeString(protocol::cameraTextToUtf8(all)));
    object.add("list", settings::Json::makeArray());
    const std::string text = settings::writeJson(object);
    EXPECT_EQ(text.find('\x01'), std::string::npos) << "control characters go out escaped";

    settings::Json back;
    std::string error;
    ASSERT_TRUE(settings::parseJson(text, back, error)) << error;
    EXPECT_EQ(protocol::utf8ToCameraText(back.member("text")->text), all);
    EXPECT_EQ(back.member("list")->type, settings::Json::Type::array);
}
