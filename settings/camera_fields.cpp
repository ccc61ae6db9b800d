#include "settings/camera_fields.h"

#include <algorithm>
#include <cstdlib>

#include "protocol/packets.h"

namespace settings {

namespace {

using V = SettingsValues;
using K = FieldKind;

std::vector<CameraField> makeFields()
{
    const std::vector<std::string> offOn = {"Off", "On"};
    const std::vector<std::string> highToLow = {"High", "Middle", "Low"};
    const char* main = "Main";
    const char* image = "Image Parameter";
    const char* network = "Network Config";
    const char* email = "E-mail Config";
    const char* passwords = "Password";
    // The image settings share byte 29 and the option switches byte 30.
    constexpr std::size_t imageFlags = 29;
    constexpr std::size_t optionFlags = 30;
    // clang-format off
    return {
        {.name = "macAddress", .label = "MAC Address", .page = main, .kind = K::shown,
         .control = "txtMacAddress2", .text = &V::macAddress,
         .answerAt = protocol::offset::respondMac, .shownAs = Shown::mac, .tabOrder = 0},
        {.name = "usedIPAddress", .label = "IP Address", .page = main, .kind = K::shown,
         .control = "txtUsedIPAddress", .text = &V::usedIPAddress, .answerAt = 519,
         .shownAs = Shown::address, .tabOrder = 4},
        {.name = "firmwareVersion", .label = "Firmware Version", .page = main, .kind = K::shown,
         .control = "txtFirmwareVersion2", .text = &V::firmwareVersion, .answerAt = 480,
         .areaWidth = 18, .shownAs = Shown::text, .tabOrder = 1},
        {.name = "cameraDescription", .label = "Camera Description", .page = main, .kind = K::text,
         .control = "txtCameraDescription2", .text = &V::cameraDescription, .answerAt = 304,
         .packetAt = 304, .areaWidth = 47, .maxLength = 40, .check = Check::fitsOrCameraOwn,
         .checkOrder = 11, .tabOrder = 2},
        {.name = "motionImage", .label = "Motion Image", .page = main, .kind = K::choice,
         .control = "optMotionImage", .choice = &V::motionImage, .answerAt = optionFlags,
         .packetAt = optionFlags, .bits = {6, 1}, .items = offOn, .tabOrder = 3},

        {.name = "antiFlicker", .label = "Anti-Flicker Setting", .page = image, .kind = K::choice,
         .control = "optAntiFlicker", .choice = &V::antiFlicker, .answerAt = imageFlags,
         .packetAt = imageFlags, .bits = {3, 1}, .items = {"60 Hz", "50 Hz"}, .tabOrder = 0},
        {.name = "imageResolution", .label = "Image Resolution", .page = image, .kind = K::choice,
         .control = "optImageResolution", .choice = &V::imageResolution, .answerAt = imageFlags,
         .packetAt = imageFlags, .bits = {6, 2}, .items = {"VGA (640x480)", "QVGA (320x240)"},
         .tabOrder = 1},
        {.name = "imageQuality", .label = "Image Quality", .page = image, .kind = K::choice,
         .control = "optImageQuality", .choice = &V::imageQuality, .answerAt = imageFlags,
         .packetAt = imageFlags, .bits = {4, 2}, .items = highToLow, .tabOrder = 2},
        {.name = "imageBrightness", .label = "Image Brightness", .page = image, .kind = K::choice,
         .control = "optImageBrightness", .choice = &V::imageBrightness, .answerAt = imageFlags,
         .packetAt = imageFlags, .bits = {1, 2}, .items = highToLow, .tabOrder = 3},
        {.name = "upsideDown", .label = "Image Orientation", .page = image, .kind = K::choice,
         .control = "optUpsideDown", .choice = &V::upsideDown, .answerAt = imageFlags,
         .packetAt = imageFlags, .bits = {0, 1}, .items = {"Normal", "Upside-down"}, .tabOrder = 4},

        {.name = "networkType", .label = "Network Type", .page = network, .kind = K::choice,
         .control = "optNetworkType", .choice = &V::networkType, .answerAt = 28, .packetAt = 28,
         .items = {"Fixed IP", "PPPoE", "DHCP"}, .tabOrder = 0},
        {.name = "ipAddress", .label = "IP Address", .page = network, .kind = K::address,
         .control = "txtIpAddress2", .text = &V::ipAddress, .answerAt = 32, .packetAt = 32,
         .check = Check::fourNumbers, .checkOrder = 1, .tabOrder = 3},
        {.name = "subnetMask", .label = "Subnet Mask", .page = network, .kind = K::address,
         .control = "txtSubnetMask2", .text = &V::subnetMask, .answerAt = 40, .packetAt = 40,
         .check = Check::fourNumbers, .checkOrder = 2, .tabOrder = 4},
        {.name = "gateway", .label = "Gateway", .page = network, .kind = K::address,
         .control = "txtGateway2", .text = &V::gateway, .answerAt = 36, .packetAt = 36,
         .check = Check::fourNumbers, .checkOrder = 3, .tabOrder = 5},
        {.name = "dnsServer", .label = "DNS Server", .page = network, .kind = K::address,
         .control = "txtDnsServer2", .text = &V::dnsServer, .answerAt = 44, .packetAt = 44,
         .check = Check::fourNumbers, .checkOrder = 4, .tabOrder = 6},
        {.name = "adslUserName", .label = "PPPoE User Name", .page = network, .kind = K::text,
         .control = "txtAdslUserName", .text = &V::adslUserName, .answerAt = 48, .packetAt = 48,
         .areaWidth = 31, .maxLength = 30, .check = Check::fitsOrCameraOwn, .checkOrder = 5,
         .tabOrder = 1},
        {.name = "adslPassword", .label = "PPPoE Password", .page = network, .kind = K::password,
         .control = "txtAdslPassword", .text = &V::adslPassword, .packetAt = 480, .areaWidth = 31,
         .maxLength = 20, .tabOrder = 2},
        {.name = "ddnsUserName", .label = "DDNS User Name", .page = network, .kind = K::text,
         .control = "txtDdnsUserName", .text = &V::ddnsUserName, .answerAt = 352, .packetAt = 352,
         .areaWidth = 31, .maxLength = 30, .check = Check::fitsOrCameraOwn, .checkOrder = 12,
         .tabOrder = 7},
        {.name = "ddnsDomainName", .label = "DDNS Domain Name", .page = network, .kind = K::text,
         .control = "txtDdnsDomainName", .text = &V::ddnsDomainName, .answerAt = 384,
         .packetAt = 384, .areaWidth = 95, .maxLength = 81, .check = Check::fitsOrCameraOwn,
         .checkOrder = 13, .tabOrder = 8},
        {.name = "ddnsPassword", .label = "DDNS Password", .page = network, .kind = K::password,
         .control = "txtDdnsPassword", .text = &V::ddnsPassword, .packetAt = 512, .areaWidth = 31,
         .maxLength = 21, .tabOrder = 9},

        {.name = "smtpServerType", .label = "SMTP Server Type", .page = email, .kind = K::choice,
         .control = "optSmtpServerType", .choice = &V::smtpServerType, .answerAt = optionFlags,
         .packetAt = optionFlags, .bits = {0, 1},
         .items = {"SMTP Domain Name:", "SMTP IP Address:"}, .tabOrder = 0},
        {.name = "smtpDomain", .label = "SMTP Domain Name", .page = email, .kind = K::text,
         .control = "txtSmtpDomain", .text = &V::smtpDomain, .answerAt = 80, .packetAt = 80,
         .areaWidth = 31, .maxLength = 30, .check = Check::fitsOrCameraOwn, .checkOrder = 6,
         .tabOrder = 1},
        {.name = "smtpIpAddress", .label = "SMTP IP Address", .page = email, .kind = K::address,
         .control = "txtSmtpIpAddress", .text = &V::smtpIpAddress, .answerAt = 512, .packetAt = 640,
         .check = Check::noneOrFour, .checkOrder = 14, .tabOrder = 11},
        {.name = "emailSender", .label = "E-mail Sender", .page = email, .kind = K::text,
         .control = "txtEmailSender", .text = &V::emailSender, .answerAt = 112, .packetAt = 112,
         .areaWidth = 47, .maxLength = 40, .check = Check::fitsOrCameraOwn, .checkOrder = 7,
         .tabOrder = 2},
        {.name = "emailReceiver", .label = "E-mail Receiver", .page = email, .kind = K::text,
         .control = "txtEmailReceiver", .text = &V::emailReceiver, .answerAt = 160, .packetAt = 160,
         .areaWidth = 47, .maxLength = 40, .check = Check::fitsOrCameraOwn, .checkOrder = 8,
         .tabOrder = 3},
        {.name = "emailCopy", .label = "E-mail Copy", .page = email, .kind = K::text,
         .control = "txtEmailCopy", .text = &V::emailCopy, .answerAt = 208, .packetAt = 208,
         .areaWidth = 47, .maxLength = 40, .check = Check::fitsOrCameraOwn, .checkOrder = 9,
         .tabOrder = 4},
        {.name = "emailAccount", .label = "E-mail Account", .page = email, .kind = K::text,
         .control = "txtEmailAccount", .text = &V::emailAccount, .answerAt = 256, .packetAt = 256,
         .areaWidth = 47, .maxLength = 40, .check = Check::fitsOrCameraOwn, .checkOrder = 10,
         .tabOrder = 5},
        {.name = "emailPassword", .label = "E-mail Password", .page = email, .kind = K::password,
         .control = "txtEmailPassword", .text = &V::emailPassword, .packetAt = 544, .areaWidth = 31,
         .maxLength = 20, .tabOrder = 6},
        {.name = "timeEmail", .label = "Time E-mail", .page = email, .kind = K::choice,
         .control = "optTimeEmail", .choice = &V::timeEmail, .answerAt = optionFlags,
         .packetAt = optionFlags, .bits = {1, 1}, .items = offOn, .tabOrder = 7},
        {.name = "hour", .label = "Time e-mail: Hour", .page = email, .kind = K::number,
         .control = "txtHour", .text = &V::hour, .answerAt = 516, .packetAt = 644, .maxNumber = 23,
         .check = Check::inRange, .checkOrder = 15, .tabOrder = 8},
        {.name = "minute", .label = "Time e-mail: Minute", .page = email, .kind = K::number,
         .control = "txtMinute", .text = &V::minute, .answerAt = 517, .packetAt = 645,
         .maxNumber = 59, .check = Check::inRange, .checkOrder = 16, .tabOrder = 9},
        {.name = "triggerCount", .label = "E-mail Trigger Count", .page = email, .kind = K::number,
         .control = "txtTriggerCount", .text = &V::triggerCount, .answerAt = 518, .packetAt = 646,
         .maxNumber = 99, .check = Check::inRange, .checkOrder = 17, .tabOrder = 10},
        {.name = "emailAuthentication", .label = "E-mail Authentication", .page = email,
         .kind = K::choice, .control = "optEmailAuthentication", .choice = &V::emailAuthentication,
         .answerAt = optionFlags, .packetAt = optionFlags, .bits = {4, 1}, .items = offOn,
         .tabOrder = 12},

        {.name = "adminPassword", .label = "Administrator Password", .page = passwords,
         .kind = K::password, .control = "txtAdminPassword", .text = &V::adminPassword,
         .packetAt = 576, .areaWidth = 15, .maxLength = 10, .tabOrder = 0},
        {.name = "newAdminPassword", .label = "New Administrator Password", .page = passwords,
         .kind = K::password, .control = "txtNewAdminPassword", .text = &V::newAdminPassword,
         .packetAt = 592, .areaWidth = 15, .maxLength = 10, .tabOrder = 1},
        {.name = "userPassword", .label = "User Password", .page = passwords, .kind = K::password,
         .control = "txtUserPassword", .text = &V::userPassword, .packetAt = 608, .areaWidth = 15,
         .maxLength = 10, .tabOrder = 2},
        {.name = "newUserPassword", .label = "New User Password", .page = passwords,
         .kind = K::password, .control = "txtNewUserPassword", .text = &V::newUserPassword,
         .packetAt = 624, .areaWidth = 15, .maxLength = 10, .tabOrder = 3},
        {.name = "userPasswordOn", .label = "User Password", .page = passwords, .kind = K::choice,
         .control = "optUserPassword", .choice = &V::userPasswordOn, .answerAt = optionFlags,
         .packetAt = optionFlags, .bits = {7, 1}, .items = offOn, .tabOrder = 4},
    };
    // clang-format on
}

} // namespace

const std::vector<CameraField>& cameraFields()
{
    static const std::vector<CameraField> fields = makeFields();
    return fields;
}

const CameraField* findField(std::string_view name)
{
    for (const CameraField& field : cameraFields()) {
        if (name == field.name) {
            return &field;
        }
    }
    return nullptr;
}

const CameraField& field(std::string_view name)
{
    const CameraField* found = findField(name);
    if (found == nullptr) {
        std::abort();
    }
    return *found;
}

const std::vector<const CameraField*>& checkedFields()
{
    static const std::vector<const CameraField*> checked = [] {
        std::vector<const CameraField*> list;
        for (const CameraField& field : cameraFields()) {
            if (field.check != Check::none) {
                list.push_back(&field);
            }
        }
        std::sort(list.begin(), list.end(), [](const CameraField* a, const CameraField* b) {
            return a->checkOrder < b->checkOrder;
        });
        return list;
    }();
    return checked;
}

const char* const addressForm =
    "four numbers from 0 to 255 joined by full stops, without leading zeros, such as 192.168.0.20";

std::string numberForm(const CameraField& field)
{
    return "a whole number from 0 to " + std::to_string(field.maxNumber) + ", in digits only";
}

} // namespace settings
