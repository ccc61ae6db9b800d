#pragma once

#include <cstddef>
#include <string>

#include "protocol/packets.h"
#include "settings/settings_values.h"

namespace fuzz {

using settings::SettingsValues;
namespace offset = protocol::offset;
namespace maxLength = protocol::maxLength;

// Where a page's text or password goes in the parameter packet, for the targets' checks.
struct TextField {
    std::string SettingsValues::*member;
    std::size_t at;
    std::size_t max;
    std::size_t width; // the text area after the length byte
    bool password;
    const char* label; // texts only: refused when longer than max and not the camera's
};

// Texts in the order Save writes them, then the passwords.
inline const TextField kTextFields[] = {
    {&SettingsValues::txtAdslUserName, offset::adslUserName, maxLength::adslUserName, 31, false,
     "PPPoE User Name"},
    {&SettingsValues::txtSmtpDomain, offset::smtpDomain, maxLength::smtpDomain, 31, false,
     "SMTP Domain Name"},
    {&SettingsValues::txtEmailSender, offset::emailSender, maxLength::emailSender, 47, false,
     "E-mail Sender"},
    {&SettingsValues::txtEmailReceiver, offset::emailReceiver, maxLength::emailReceiver, 47, false,
     "E-mail Receiver"},
    {&SettingsValues::txtEmailCopy, offset::emailCopy, maxLength::emailCopy, 47, false,
     "E-mail Copy"},
    {&SettingsValues::txtEmailAccount, offset::emailAccount, maxLength::emailAccount, 47, false,
     "E-mail Account"},
    {&SettingsValues::txtCameraDescription2, offset::cameraDescription,
     maxLength::cameraDescription, 47, false, "Camera Description"},
    {&SettingsValues::txtDdnsUserName, offset::ddnsUserName, maxLength::ddnsUserName, 31, false,
     "DDNS User Name"},
    {&SettingsValues::txtDdnsDomainName, offset::ddnsDomainName, maxLength::ddnsDomainName, 95,
     false, "DDNS Domain Name"},
    {&SettingsValues::txtAdslPassword, offset::adslPassword, maxLength::adslPassword, 31, true,
     nullptr},
    {&SettingsValues::txtDdnsPassword, offset::ddnsPassword, maxLength::ddnsPassword, 31, true,
     nullptr},
    {&SettingsValues::txtEmailPassword, offset::emailPassword, maxLength::emailPassword, 31, true,
     nullptr},
    {&SettingsValues::txtAdminPassword, offset::adminPassword, maxLength::adminPassword, 15, true,
     nullptr},
    {&SettingsValues::txtNewAdminPassword, offset::newAdminPassword, maxLength::newAdminPassword,
     15, true, nullptr},
    {&SettingsValues::txtUserPassword, offset::userPassword, maxLength::userPassword, 15, true,
     nullptr},
    {&SettingsValues::txtNewUserPassword, offset::newUserPassword, maxLength::newUserPassword, 15,
     true, nullptr},
};

} // namespace fuzz
