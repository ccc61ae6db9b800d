#pragma once

#include <optional>
#include <string>

#include "protocol/packets.h"

namespace settings {

// What the five settings pages hold, member for member named after the control: the edits'
// texts and the radio groups' item indexes (-1 when no item is chosen).
struct SettingsValues {
    // Main
    std::string txtMacAddress2;
    std::string txtUsedIPAddress;
    std::string txtFirmwareVersion2;
    std::string txtCameraDescription2;
    int optMotionImage = -1;
    // Image Parameter
    int optAntiFlicker = -1;
    int optImageResolution = -1;
    int optImageQuality = -1;
    int optImageBrightness = -1;
    int optUpsideDown = -1;
    // Network Config
    int optNetworkType = -1;
    std::string txtIpAddress2;
    std::string txtSubnetMask2;
    std::string txtGateway2;
    std::string txtDnsServer2;
    std::string txtAdslUserName;
    std::string txtAdslPassword;
    std::string txtDdnsUserName;
    std::string txtDdnsDomainName;
    std::string txtDdnsPassword;
    // E-mail Config
    int optSmtpServerType = -1;
    std::string txtSmtpDomain;
    std::string txtSmtpIpAddress;
    std::string txtEmailSender;
    std::string txtEmailReceiver;
    std::string txtEmailCopy;
    std::string txtEmailAccount;
    std::string txtEmailPassword;
    int optTimeEmail = -1;
    std::string txtHour;
    std::string txtMinute;
    std::string txtTriggerCount;
    int optEmailAuthentication = -1;
    // Password
    std::string txtAdminPassword;
    std::string txtNewAdminPassword;
    std::string txtUserPassword;
    std::string txtNewUserPassword;
    int optUserPassword = -1;
};

// A record decoded into what the pages show. Radio indexes are the record's values as they
// stand, so some may have no item in their group (a network type of 3, say); the radio group
// ignores those and keeps its choice. The seven passwords come out empty.
SettingsValues decodeCameraRecord(const protocol::CameraRecord& record);

// The "%d.%d.%d.%d" reading of an edited address: the count of numbers read (0 to 4); each number
// read is stored as its lowest 8 bits.
int readDottedQuad(const std::string& text, protocol::Ipv4Bytes& out);

// Leading blanks, one optional sign, decimal digits up to the first other character; no digits
// read as 0. Values too large for an int saturate, so they fail every range check.
int readInteger(const std::string& text);

// Checks the values in order and packs them into a parameter packet for the selected camera.
// Returns the label of the first failing check (the packet is then of no use), or nothing. A text
// longer than its field's maximum passes only as the selected camera's own text, which is then
// kept; any other fails with the field's label rather than going out cut short.
std::optional<std::string> collectSettings(const SettingsValues& values,
                                           const protocol::CameraRecord& selected,
                                           protocol::ParameterPacket& packet);

// Zeroes the storage of the seven passwords and leaves them empty, once they have been sent or
// refused, so that no copy of them outlives its use.
void wipePasswords(SettingsValues& values);

// "Invalid input in %s field.\n\nPlease check again.\n" with the label put in.
std::string invalidInputMessage(const std::string& label);

} // namespace settings
