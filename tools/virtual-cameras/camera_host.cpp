#include "tools/virtual-cameras/camera_host.h"

#include <algorithm>
#include <utility>

#include "settings/camera_list.h"

namespace camsim {

namespace {

std::string describe(const Camera& camera)
{
    return net::formatMac(protocol::macAddress(camera.record)) + " \"" +
           settings::description(camera.record) + "\"";
}

const char* ackName(AckMode mode)
{
    switch (mode) {
    case AckMode::ok:
        return "ok";
    case AckMode::none:
        return "none";
    case AckMode::otherMac:
        return "othermac";
    case AckMode::split:
        return "split";
    case AckMode::stray:
        return "stray";
    }
    return "?";
}

} // namespace

CameraHost::CameraHost(std::vector<Camera> cameras, std::uint32_t spacingMs)
    : cameras_(std::move(cameras)), spacingMs_(spacingMs)
{}

Outcome CameraHost::onSearchPort(const std::uint8_t* data, std::size_t count, std::uint64_t nowMs)
{
    Outcome outcome;
    if (!isSearchRequest(data, count)) {
        outcome.note = "ignored " + std::to_string(count) + " bytes on the search port";
        return outcome;
    }
    if (!lastSearchMs_ || nowMs - *lastSearchMs_ > kFindGapMs)
        pass_ = 0;
    lastSearchMs_ = nowMs;
    ++pass_;

    std::uint32_t slot = 0;
    for (const Camera& camera : cameras_) {
        const auto& silent = camera.behaviour.silentPasses;
        if (std::find(silent.begin(), silent.end(), pass_) != silent.end())
            continue;
        const std::uint32_t delay = camera.behaviour.delayMs + spacingMs_ * slot++;
        const int times = camera.behaviour.twice ? 2 : 1;
        for (int i = 0; i < times; ++i)
            outcome.replies.push_back({respondPacket(camera), delay});
    }
    outcome.note = "search pass " + std::to_string(pass_) + ": " +
                   std::to_string(outcome.replies.size()) + " answers";
    return outcome;
}

Outcome CameraHost::onParameterPort(const std::uint8_t* data, std::size_t count)
{
    Outcome outcome;
    if (!isParameterPacket(data, count)) {
        outcome.note = "ignored " + std::to_string(count) + " bytes on the parameter port";
        return outcome;
    }
    const protocol::MacBytes mac = parameterMac(data);
    auto camera = std::find_if(cameras_.begin(), cameras_.end(), [&mac](const Camera& c) {
        return protocol::macAddress(c.record) == mac;
    });
    if (camera == cameras_.end()) {
        outcome.note = "parameters for " + net::formatMac(mac) + ": not one of ours";
        return outcome;
    }

    const Behaviour& behaviour = camera->behaviour;
    if (behaviour.apply)
        applyParameterPacket(*camera, data);
    for (auto& datagram : ackDatagrams(*camera))
        outcome.replies.push_back({std::move(datagram), behaviour.delayMs});
    outcome.note = "parameters for " + describe(*camera) +
                   (behaviour.apply ? ": applied" : ": not applied") + ", ack " +
                   ackName(behaviour.ack);
    if (behaviour.apply) {
        const std::vector<std::string> passwords = passwordsSetBy(data);
        for (std::size_t i = 0; i < passwords.size(); ++i)
            outcome.note += (i == 0 ? "; passwords set: " : ", ") + passwords[i];
    }
    return outcome;
}

} // namespace camsim
