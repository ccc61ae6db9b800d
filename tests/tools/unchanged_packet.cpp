#include "tests/tools/unchanged_packet.h"

#include <algorithm>
#include <utility>

protocol::ParameterPacket unchangedPacket(const protocol::CameraRecord& record)
{
    namespace off = protocol::offset;
    namespace most = protocol::maxLength;
    protocol::ParameterPacket packet;
    protocol::beginParameterPacket(packet, record);
    auto& b = packet.bytes;
    b[off::networkType] = protocol::networkType(record);
    b[off::imageFlags] = protocol::imageFlags(record);
    b[off::optionFlags] =
        protocol::packOptionFlags(protocol::smtpServerType(record), protocol::timeEmail(record),
                                  protocol::emailAuthentication(record),
                                  protocol::motionImage(record), protocol::userPasswordOn(record));
    std::copy_n(record.bytes.begin() + off::ipAddress, 16, b.begin() + off::ipAddress);
    const std::pair<std::size_t, std::size_t> texts[] = {
        {off::adslUserName, most::adslUserName},
        {off::smtpDomain, most::smtpDomain},
        {off::emailSender, most::emailSender},
        {off::emailReceiver, most::emailReceiver},
        {off::emailCopy, most::emailCopy},
        {off::emailAccount, most::emailAccount},
        {off::cameraDescription, most::cameraDescription},
        {off::ddnsUserName, most::ddnsUserName},
        {off::ddnsDomainName, most::ddnsDomainName},
    };
    for (const auto& [at, max] : texts)
        protocol::encodeText(packet, at, max, protocol::countedTextValue(record, at), record);
    for (std::size_t at :
         {off::adslPassword, off::ddnsPassword, off::emailPassword, off::adminPassword,
          off::newAdminPassword, off::userPassword, off::newUserPassword})
        protocol::encodePassword(packet, at, 10, "");
    std::copy_n(record.bytes.begin() + off::recordSmtpIpAddress, 4,
                b.begin() + off::packetSmtpIpAddress);
    b[off::packetHour] = protocol::hour(record);
    b[off::packetMinute] = protocol::minute(record);
    b[off::packetTriggerCount] = protocol::triggerCount(record);
    return packet;
}
