#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/virtual-cameras/camera.h"

namespace camsim {

// One datagram to send back to whoever sent the request, delayMs after it arrived.
struct Reply {
    std::vector<std::uint8_t> bytes;
    std::uint32_t delayMs = 0;
};

struct Outcome {
    std::vector<Reply> replies; // in sending order
    std::string note;           // one line for the log; never holds a password
};

// All the cameras on one host: decides what each request is answered with.
class CameraHost {
public:
    // Searches closer together than this belong to one Find and count as its passes.
    static constexpr std::uint64_t kFindGapMs = 1500;

    // spacingMs > 0 staggers the cameras' answers instead of sending them in one burst.
    explicit CameraHost(std::vector<Camera> cameras, std::uint32_t spacingMs = 0);

    Outcome onSearchPort(const std::uint8_t* data, std::size_t count, std::uint64_t nowMs);
    Outcome onParameterPort(const std::uint8_t* data, std::size_t count);

    const std::vector<Camera>& cameras() const { return cameras_; }

private:
    std::vector<Camera> cameras_;
    std::uint32_t spacingMs_;
    int pass_ = 0;
    std::optional<std::uint64_t> lastSearchMs_;
};

} // namespace camsim
