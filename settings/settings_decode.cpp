#include <cstdint>
#include <string>

#include "protocol/packets.h"
#include "settings/settings_values.h"

namespace settings {

namespace {

struct ResolutionAndQuality {
    int resolution;
    int quality;
};

// The upper four bits of imageFlags as the two groups show them. The values without a pair of items
// of their own (3, and 7 to 15) show as VGA, High, so both groups always end up with a choice.
ResolutionAndQuality decodeResolutionAndQuality(std::uint8_t imageFlags)
{
    const int v = imageFlags >> 4;
    if (v <= 2) {
        return {0, v};
    }
    if (v >= 4 && v <= 6) {
        return {1, v - 4};
    }
    return {0, 0};
}

} // namespace

SettingsValues decodeCameraRecord(const protocol::CameraRecord& record)
{
    using protocol::countedTextValue;
    namespace offset = protocol::offset;

    SettingsValues values;
    values.txtMacAddress2 = protocol::formatMac(protocol::macAddress(record));
    values.txtUsedIPAddress = protocol::formatIpv4(protocol::usedIPAddress(record));
    values.txtFirmwareVersion2 = protocol::firmwareVersion(record);
    values.txtCameraDescription2 = countedTextValue(record, offset::cameraDescription);
    values.optMotionImage = protocol::motionImage(record);

    values.optAntiFlicker = protocol::antiFlicker(record);
    const ResolutionAndQuality rq = decodeResolutionAndQuality(protocol::imageFlags(record));
    values.optImageResolution = rq.resolution;
    values.optImageQuality = rq.quality;
    values.optImageBrightness = protocol::imageBrightness(record);
    values.optUpsideDown = protocol::upsideDown(record);

    values.optNetworkType = protocol::networkType(record);
    values.txtIpAddress2 = protocol::formatIpv4(protocol::ipAddress(record));
    values.txtSubnetMask2 = protocol::formatIpv4(protocol::subnetMask(record));
    values.txtGateway2 = protocol::formatIpv4(protocol::gateway(record));
    values.txtDnsServer2 = protocol::formatIpv4(protocol::dnsServer(record));
    values.txtAdslUserName = countedTextValue(record, offset::adslUserName);
    values.txtDdnsUserName = countedTextValue(record, offset::ddnsUserName);
    values.txtDdnsDomainName = countedTextValue(record, offset::ddnsDomainName);

    values.txtSmtpDomain = countedTextValue(record, offset::smtpDomain);
    values.txtEmailSender = countedTextValue(record, offset::emailSender);
    values.txtEmailReceiver = countedTextValue(record, offset::emailReceiver);
    values.txtEmailCopy = countedTextValue(record, offset::emailCopy);
    values.txtEmailAccount = countedTextValue(record, offset::emailAccount);
    values.optTimeEmail = protocol::timeEmail(record);
    values.optEmailAuthentication = protocol::emailAuthentication(record);
    values.optUserPassword = protocol::userPasswordOn(record);
    values.txtSmtpIpAddress = protocol::formatIpv4(protocol::smtpIpAddress(record));
    values.txtHour = std::to_string(protocol::hour(record));
    values.txtMinute = std::to_string(protocol::minute(record));
    values.txtTriggerCount = std::to_string(protocol::triggerCount(record));
    values.optSmtpServerType = protocol::smtpServerType(record);

    // Cameras never report passwords; the seven password members stay empty so that an untouched
    // box tells the camera to keep its password.
    return values;
}

} // namespace settings
