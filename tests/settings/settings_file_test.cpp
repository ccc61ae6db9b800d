#include <gtest/gtest.h>
#include <string>

#include "protocol/code_page.h"
#include "settings/settings_file.h"
#include "settings_test_record.h"

namespace {

settings::SettingsFileError refusal(const std::string& text)
{
    settings::SettingsFile file;
    settings::SettingsFileError error;
    EXPECT_FALSE(settings::readSettingsFile(text, file, error)) << "accepted: " << text;
    return error;
}

} // namespace

TEST(SettingsFile, RefusesWhatStrictJsonRefusesAndSaysWhere)
{
    const char* broken[] = {
        "",
        "{\"hour\": 1,}",
        "[1, 2,]",
        "{'hour': 1}",
        "{} // note",
        "{hour: 1}",
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
        "{\"hour\": [1, 2}",
    };
    for (const char* text : broken) {
        EXPECT_GT(refusal(text).line, 0) << "not refused as JSON: " << text;
    }
    EXPECT_EQ(refusal("{\n  \"hour\": 7,\n  \"hour\": 8\n}").text(),
              "line 3, column 3: \"hour\" appears twice");
    EXPECT_EQ(refusal("{\"x\\\"\": 1, \"x\\\"\": 2}").text(),
              "line 1, column 12: \"x\"\" appears twice");
    // Nesting deep enough to exhaust the stack is refused, not followed.
    EXPECT_GT(refusal(std::string(100000, '[')).line, 0);
    EXPECT_EQ(
        refusal("{\"hour\": " + std::string(100000, '[') + std::string(100000, ']') + "}").text(),
        "line 1, column 73: nested too deeply");
}

TEST(SettingsFile, ReadsEscapesAndKeepsMemberOrder)
{
    settings::SettingsFile file;
    settings::SettingsFileError error;
    ASSERT_TRUE(settings::readSettingsFile(
        "\xEF\xBB\xBF { \"motionImage\": null, \"minute\": 5,\r\n"
        " \"cameraDescription\": \"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\u20AC\", \"hour\": \"7\" }",
        file, error))
        << error.text();
    ASSERT_EQ(file.changes.size(), 3u);
    EXPECT_EQ(file.changes[0].field->name, std::string("minute"));
    EXPECT_EQ(file.changes[1].text, "\"\\/\b\f\n\r\t\xE9\x80");
    EXPECT_EQ(file.changes[2].field->name, std::string("hour"));
    EXPECT_FALSE(file.holdsPasswords);
}

TEST(SettingsFile, EveryByteOfACameraTextSurvivesWritingAndReading)
{
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    settings::SettingsValues values = settings::valuesOf(settings_test::sampleRecord());
    values.cameraDescription = all;
    const std::string text = settings::writeSettingsFile(values);
    EXPECT_EQ(text.find('\x01'), std::string::npos) << "control characters go out escaped";
    EXPECT_EQ(text.find('\x7F'), std::string::npos) << "control characters go out escaped";
    for (int c1 = 0x80; c1 < 0xA0; ++c1) {
        EXPECT_EQ(text.find(std::string{'\xC2', static_cast<char>(c1)}), std::string::npos)
            << "C1 control " << c1 << " goes out escaped";
    }

    settings::SettingsFile back;
    settings::SettingsFileError error;
    ASSERT_TRUE(settings::readSettingsFile(text, back, error)) << error.text();
    ASSERT_EQ(back.changes[0].field->name, std::string("cameraDescription"));
    EXPECT_EQ(back.changes[0].text, all);
}
