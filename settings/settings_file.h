#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "settings/camera_fields.h"
#include "settings/field_changes.h"
#include "settings/settings_values.h"

// The settings file: one JSON object of fields under their names, what `telviq-cli show --json`
// prints. One reader and one writer for every program that saves or applies settings.
namespace settings {

// Every field a camera reports, in the order of the pages: texts, addresses and choices as the
// pages show them (strings), hour, minute and triggerCount as numbers, a radio group with no
// choice as null. Passwords are left out, since cameras never report them.
nlohmann::ordered_json settingsJson(const SettingsValues& values);

// JSON as the settings files are written: indented by two spaces, members in their order, every
// control character escaped, a final newline.
std::string jsonText(const nlohmann::ordered_json& json);

// jsonText(settingsJson(values)).
std::string writeSettingsFile(const SettingsValues& values);

struct SettingsFile {
    std::vector<FieldChange> changes; // in the order of the file
    // Whether some password field holds a value; set once the text is read as JSON, so also for
    // a file whose fields are then refused.
    bool holdsPasswords = false;
};

struct SettingsFileError {
    int line = 0;   // where the text is no JSON, or where the refused member's name begins
    int column = 0; // in bytes, from 1
    std::string message;

    // "line 2, column 15: ..."
    std::string text() const;
};

// Strict JSON: no comments, no trailing commas, valid UTF-8, no zero byte, no member name twice
// (which value was meant?); a byte order mark may lead. The file is read by readFileBounded
// (file_access.h). The fields a camera only reports and the members that
// are null are skipped; every other value is checked as makeChange checks it, and may be a string
// or, for numbers and choices, a whole number.
bool readSettingsFile(const std::string& text, SettingsFile& out, SettingsFileError& error);

} // namespace settings
