#pragma once

#include <optional>
#include <string>

#include "net/address_text.h"
#include "protocol/packets.h"

namespace settings {

// A camera's settings as the five pages hold them, member for member named after its field (see
// camera_fields.h): texts as the camera's bytes, choices as the item index (-1 when no item is
// chosen). Every member has its row in cameraFields().
struct SettingsValues {
    // Main
    std::string macAddress;
    std::string usedIPAddress;
    std::string firmwareVersion;
    std::string cameraDescription;
    int motionImage = -1;
    // Image Parameter
    int antiFlicker = -1;
    int imageResolution = -1;
    int imageQuality = -1;
    int imageBrightness = -1;
    int upsideDown = -1;
    // Network Config
    int networkType = -1;
    std::string ipAddress;
    std::string subnetMask;
    std::string gateway;
    std::string dnsServer;
    std::string adslUserName;
    std::string adslPassword;
    std::string ddnsUserName;
    std::string ddnsDomainName;
    std::string ddnsPassword;
    // E-mail Config
    int smtpServerType = -1;
    std::string smtpDomain;
    std::string smtpIpAddress;
    std::string emailSender;
    std::string emailReceiver;
    std::string emailCopy;
    std::string emailAccount;
    std::string emailPassword;
    int timeEmail = -1;
    std::string hour;
    std::string minute;
    std::string triggerCount;
    int emailAuthentication = -1;
    // Password
    std::string adminPassword;
    std::string newAdminPassword;
    std::string userPassword;
    std::string newUserPassword;
    int userPasswordOn = -1;
};

// A record decoded into what the pages show. Radio indexes are the record's values as they
// stand, so some may have no item in their group (a network type of 3, say); the radio group
// ignores those and keeps its choice. The seven passwords come out empty.
SettingsValues decodeCameraRecord(const protocol::CameraRecord& record);

// The window's reading of an edited address, "%d.%d.%d.%d" as formatted input reads it: blanks
// before each number, an optional sign, digits; each number stored as its lowest 8 bits. Returns
// the count of numbers read (0 to 4). The command line reads addresses with
// net::readStrictIpv4 instead.
int readLenientIpv4(const std::string& text, net::Ipv4Bytes& out);

// Leading blanks, one optional sign, decimal digits up to the first other character; no digits
// read as 0. Values too large for an int saturate, so they fail every range check.
int readInteger(const std::string& text);

// Checks the values in Save's order and packs them into a parameter packet for the selected
// camera. Returns the label of the first failing check (nothing is packed then), or nothing. A
// text longer than its field's maximum passes only as the selected camera's own text, which is
// then kept; any other fails with the field's label rather than going out cut short.
std::optional<std::string> collectSettings(const SettingsValues& values,
                                           const protocol::CameraRecord& selected,
                                           protocol::ParameterPacket& packet);

// Zeroes the storage of the seven passwords and leaves them empty, once they have been sent or
// refused, so that no copy of them outlives its use.
void wipePasswords(SettingsValues& values);

// "Invalid input in %s field.\n\nPlease check again.\n" with the label put in.
std::string invalidInputMessage(const std::string& label);

// What Save says about its write, in the window's box and on the command line's output.
inline constexpr const char* kWriteOk = "Settings write ok!\n";
inline constexpr const char* kWriteFail = "Settings write fail!\n";

} // namespace settings
