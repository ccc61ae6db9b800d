#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_values.h"

// One description of each camera field, in one table: what the camera reports and takes, where
// its bytes lie, how Save checks it and which control of the window shows it. Decoding a record
// onto the pages, reading them back, the checks, packing, the command line's listings and the
// settings file all walk this table; a new field is a row here, its member in SettingsValues and
// its control in the window's form.
namespace settings {

enum class FieldKind {
    shown,    // reported by the camera, never written
    text,     // a counted text, sent as "keep" when unchanged
    password, // never reported; sent only when given
    address,  // a dotted address
    number,   // hour, minute, trigger count
    choice,   // a radio group
};

// How a shown field's bytes read.
enum class Shown {
    mac,     // six bytes
    address, // four bytes
    text,    // zero-terminated, at most areaWidth bytes
};

// Save's checks of one field, made in the order of the fields' checkOrder.
enum class Check {
    none,
    fourNumbers,     // the window's reading of the address must find exactly four numbers
    noneOrFour,      // no number at all (no address, sent as 0.0.0.0) or exactly four
    inRange,         // the integer reading lies within 0 to maxNumber
    fitsOrCameraOwn, // no longer than maxLength, unless it is the camera's own text
};

// Where a choice's item index lies in its byte: `width` bits from bit `shift` (bit 0 the lowest).
struct Bits {
    unsigned shift = 0;
    unsigned width = 8;
};

inline constexpr std::size_t kNowhere = static_cast<std::size_t>(-1);

struct CameraField {
    const char* name;  // the settings file's and the command line's name
    const char* label; // what messages call the field: the check's label, or the caption
    const char* page;  // the page that shows it
    FieldKind kind;
    const char* control; // the objectName of the control that shows it
    // The member of the pages' values that holds it: text for every kind but choice.
    std::string SettingsValues::*text = nullptr;
    int SettingsValues::*choice = nullptr;
    std::size_t answerAt = kNowhere; // offset in the camera's answer (and record)
    std::size_t packetAt = kNowhere; // offset in the parameter packet
    // Counted texts: bytes of the area after the length byte; a shown text: its area's width.
    std::size_t areaWidth = 0;
    std::size_t maxLength = 0; // texts and passwords: the most characters typed and sent
    Shown shownAs = Shown::text;
    Bits bits{};                      // choices: their bits of the byte at answerAt and packetAt
    std::vector<std::string> items{}; // choices: the items, index 0 first
    int maxNumber = 0;                // numbers: the largest; the least is 0
    Check check = Check::none;
    int checkOrder = 0; // the place of the check among Save's, from 1
    int tabOrder = 0;   // the place of the control in its page's tab order, from 0
};

// In the order of the pages, as the window and `show` list them.
const std::vector<CameraField>& cameraFields();
const CameraField* findField(std::string_view name);
// The row of a field the program names itself; an unknown name is a fault of the program.
const CameraField& field(std::string_view name);
// The fields Save checks, in the order it checks them.
const std::vector<const CameraField*>& checkedFields();

// What an address and a number field take, for messages and the help.
extern const char* const addressForm;
std::string numberForm(const CameraField& field);

} // namespace settings
