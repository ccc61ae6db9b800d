#pragma once

#include <optional>
#include <string>
#include <vector>

#include "protocol/packets.h"
#include "settings/camera_fields.h"
#include "settings/settings_values.h"

// Changes to a camera's settings given by name, as the command line and the settings file give
// them, checked before any camera is asked.
namespace settings {

// A checked value for one field: a text already in the camera's bytes, or a choice's index.
struct FieldChange {
    const CameraField* field = nullptr;
    std::string text;
    int index = -1;
};

// The value as typed (UTF-8). Texts must fit the cameras' code page, passwords their field and
// hold no control character;
// choices are an item's text (any case, the colon optional) or its number. Addresses and numbers
// are read more strictly than the window's edits, which take "10.0.0.300" as 10.0.0.44 and "7x"
// as 7: an address by net::readStrictIpv4; a number is digits only, within its field's range.
// Either is kept in its canonical form ("07" as "7"). The window's own checks of the values
// together come after, where a text longer than its field passes only as the camera's own.
bool makeChange(const CameraField& field, const std::string& value, FieldChange& out,
                std::string& error);

// "FIELD=VALUE", a change as the command line writes it.
bool parseAssignment(const std::string& argument, FieldChange& out, std::string& error);

void applyChange(SettingsValues& values, const FieldChange& change);

// What `set` and `apply` do for each camera, as Save does it: the pages filled from the record
// (valuesOf), the changes put in, the values checked and packed. Returns the label of the first
// check that fails (the packet is then of no use), or nothing. `values` holds the passwords given.
std::optional<std::string> collectChanges(const protocol::CameraRecord& record,
                                          const std::vector<FieldChange>& changes,
                                          SettingsValues& values,
                                          protocol::ParameterPacket& packet);

// The label of the first check the changes fail on their own, before any camera is known: with
// values that pass every check for the rest. Texts are left out, since one longer than its field
// passes as a camera's own, so only each camera's text can judge it.
std::optional<std::string> refusedOnTheirOwn(const std::vector<FieldChange>& changes);

// What the pages show for a record when they are first filled: a radio value without an item
// leaves its group with no choice.
SettingsValues valuesOf(const protocol::CameraRecord& record);

// The value as the pages show it (UTF-8); nothing for a radio group with no choice.
std::optional<std::string> shownValue(const CameraField& field, const SettingsValues& values);

// Whether the camera's pages show every change already, each compared as the pages show it;
// passwords, which no camera reports, are left out.
bool showsChanges(const protocol::CameraRecord& record, const std::vector<FieldChange>& changes);

} // namespace settings
