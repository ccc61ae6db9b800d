// The addressing plan: a plan file's text read and planned against a few cameras, and the plan
// made from a first address, a subnet and what it must skip, all from the fuzzer's bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "settings/address_plan.h"
#include "settings/camera_fields.h"
#include "settings/camera_list.h"

using fuzz::check;

namespace {

protocol::CameraRecord camera(const net::MacBytes& mac, const net::Ipv4Bytes& inUse)
{
    protocol::CameraRecord record;
    std::copy(mac.begin(), mac.end(), record.bytes.begin() + protocol::offset::respondMac);
    std::copy(inUse.begin(), inUse.end(),
              record.bytes.begin() +
                  static_cast<std::ptrdiff_t>(settings::field("usedIPAddress").answerAt));
    return record;
}

net::Ipv4Bytes address(fuzz::InputReader& in)
{
    const auto bytes = in.bytes(4);
    return {bytes[0], bytes[1], bytes[2], bytes[3]};
}

// Every planned address a host of the subnet that nothing else takes, no two alike.
void checkPlan(const settings::AddressPlan& plan, const net::Ipv4Subnet& subnet,
               const settings::AddressRules& rules, const std::set<net::Ipv4Bytes>& othersInUse)
{
    std::set<net::Ipv4Bytes> given;
    for (const auto& planned : plan.cameras) {
        const net::Ipv4Bytes& a = planned.address;
        check(subnet.holdsHost(a), "an address outside the subnet's hosts");
        check(given.insert(a).second, "one address planned twice");
        check(a != rules.gateway && (!rules.dnsServer || a != *rules.dnsServer),
              "the gateway or the DNS server planned");
        check(std::find(rules.pcAddresses.begin(), rules.pcAddresses.end(), a) ==
                  rules.pcAddresses.end(),
              "the PC's address planned");
        check(othersInUse.count(a) == 0, "another camera's address planned");
    }
}

void fromFile(fuzz::InputReader& in)
{
    const auto bytes = in.rest();
    const std::string text(bytes.begin(), bytes.end());
    std::vector<settings::PlanRow> rows;
    std::string error;
    if (!settings::readPlanFile(text, rows, error)) {
        check(!error.empty(), "a plan file refused without a word");
        return;
    }
    check(!rows.empty() && rows.size() <= settings::kMostPlanRows, "row count out of bounds");
    std::set<net::MacBytes> macs;
    std::set<net::Ipv4Bytes> addresses;
    int line = 1;
    for (const auto& row : rows) {
        check(row.line > line, "rows not in the order of their lines", row.line);
        line = row.line;
        check(macs.insert(row.mac).second, "one camera read twice");
        check(addresses.insert(row.address).second, "one address read twice");
    }

    // Against four cameras of 198.18.0.0/23, one of them in use at 198.18.0.40.
    std::vector<protocol::CameraRecord> answered;
    for (std::uint8_t i = 1; i <= 4; ++i)
        answered.push_back(camera({0x02, 0x00, 0x5E, 0x10, 0x00, i}, {198, 18, 0, 40}));
    std::vector<const protocol::CameraRecord*> pointers;
    for (const auto& record : answered)
        pointers.push_back(&record);
    settings::AddressRules rules;
    rules.mask = {255, 255, 254, 0};
    rules.gateway = {198, 18, 0, 1};
    rules.pcAddresses = {{198, 18, 0, 2}};
    settings::AddressPlan plan;
    if (!settings::planFromRows(rows, pointers, rules, plan, error)) {
        check(!error.empty(), "a plan refused without a word");
        return;
    }
    check(plan.cameras.size() == rows.size(), "a row left out of the plan");
    std::set<net::Ipv4Bytes> others;
    for (const auto& record : answered)
        if (macs.count(protocol::macAddress(record)) == 0)
            others.insert(settings::usedAddress(record));
    const net::Ipv4Subnet subnet{rows.front().address, rules.mask};
    checkPlan(plan, subnet, rules, others);
}

void fromFirst(fuzz::InputReader& in)
{
    const net::Ipv4Bytes first = address(in);
    settings::AddressRules rules;
    const unsigned prefix = in.byte() % 33;
    rules.mask = net::ipv4FromWord(prefix == 0 ? 0 : ~0u << (32 - prefix));
    if (in.byte() & 1)
        rules.mask[in.byte() % 4] ^= in.byte(); // often not one run of ones
    rules.gateway = net::ipv4FromWord(net::ipv4Word(first) ^ in.byte());
    if (in.byte() & 1)
        rules.dnsServer = net::ipv4FromWord(net::ipv4Word(first) + in.byte());
    for (int i = in.byte() % 3; i > 0; --i)
        rules.pcAddresses.push_back(net::ipv4FromWord(net::ipv4Word(first) + in.byte() % 16));

    std::vector<protocol::CameraRecord> all;
    const std::size_t chosen = in.byte() % 40;
    const std::size_t others = in.byte() % 8;
    for (std::size_t i = 0; i < chosen + others; ++i)
        all.push_back(camera({0x02, 0x00, 0x5E, 0x10, in.byte(), in.byte()},
                             net::ipv4FromWord(net::ipv4Word(first) + in.byte() % 32)));
    std::vector<const protocol::CameraRecord*> planned, answered;
    for (std::size_t i = 0; i < all.size(); ++i) {
        answered.push_back(&all[i]);
        if (i < chosen)
            planned.push_back(&all[i]);
    }
    settings::AddressPlan plan;
    std::string error;
    if (!settings::planAddresses(planned, answered, first, rules, plan, error)) {
        check(!error.empty(), "a plan refused without a word");
        return;
    }
    check(net::isContiguousMask(rules.mask), "a mask that is not one run of ones taken");
    std::set<net::MacBytes> macs;
    for (const auto* record : planned)
        macs.insert(protocol::macAddress(*record));
    check(plan.cameras.size() == macs.size(), "a camera left out or planned twice");
    std::set<net::Ipv4Bytes> inUse;
    for (std::size_t i = chosen; i < all.size(); ++i)
        if (macs.count(protocol::macAddress(all[i])) == 0)
            inUse.insert(settings::usedAddress(all[i]));
    checkPlan(plan, {first, rules.mask}, rules, inUse);
    for (std::size_t i = 1; i < plan.cameras.size(); ++i) {
        check(protocol::macAddress(*plan.cameras[i - 1].camera) <
                  protocol::macAddress(*plan.cameras[i].camera),
              "cameras not in MAC order");
        check(net::ipv4Word(plan.cameras[i - 1].address) < net::ipv4Word(plan.cameras[i].address),
              "addresses not handed out upward");
    }
    if (!plan.cameras.empty())
        check(net::ipv4Word(plan.cameras.front().address) >= net::ipv4Word(first),
              "an address below the first");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::InputReader in(data, size);
    if (in.byte() & 1)
        fromFile(in);
    else
        fromFirst(in);
    return 0;
}
