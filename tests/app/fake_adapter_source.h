#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "hostnet/host_adapter_info.h"

namespace fakes {

// The PC's adapters as a test scripts them: query n gets answers[n], the last answer repeating.
class FakeAdapterSource : public hostnet::AdapterSource {
public:
    std::vector<std::vector<hostnet::AdapterEntry>> answers;
    hostnet::NetworkParameters parameters;
    std::function<void()> onList; // may throw
    int queries = 0;

    bool listAdapters(std::vector<hostnet::AdapterEntry>& out) override
    {
        if (onList)
            onList();
        const std::size_t at = static_cast<std::size_t>(queries++);
        out = answers.empty() ? std::vector<hostnet::AdapterEntry>{}
                              : answers[std::min(at, answers.size() - 1)];
        return true;
    }

    bool readNetworkParameters(hostnet::NetworkParameters& out) override
    {
        out = parameters;
        return true;
    }
};

inline hostnet::AdapterEntry ethernetAdapter(const std::string& description,
                                             const std::string& ipAddress,
                                             std::uint8_t lastMacByte = 0x5E)
{
    return {hostnet::kEthernetType,
            description,
            {0x00, 0x1A, 0x2B, 0x3C, 0x4D, lastMacByte},
            ipAddress,
            "255.255.255.0",
            "198.51.100.1"};
}

} // namespace fakes
