#include "settings/address_plan.h"

#include <algorithm>
#include <csv.h>
#include <map>
#include <set>

#include "settings/camera_fields.h"
#include "settings/camera_list.h"

namespace settings {

namespace {

using net::formatIpv4;
using net::ipv4Word;

std::string cameraName(const protocol::CameraRecord& camera)
{
    const std::string text = description(camera);
    return net::formatMac(protocol::macAddress(camera)) + (text.empty() ? "" : " (" + text + ")");
}

// What a plan may not hand out, with the reason for each.
class Exclusions {
public:
    Exclusions(const net::Ipv4Subnet& subnet, const AddressRules& rules,
               const std::vector<const protocol::CameraRecord*>& others)
        : subnet_(subnet)
    {
        for (const net::Ipv4Bytes& address : rules.pcAddresses)
            reasons_.emplace(ipv4Word(address), "the PC's own address");
        reasons_.emplace(ipv4Word(rules.gateway), "the gateway");
        if (rules.dnsServer)
            reasons_.emplace(ipv4Word(*rules.dnsServer), "the DNS server");
        for (const protocol::CameraRecord* camera : others)
            reasons_.emplace(ipv4Word(usedAddress(*camera)), "in use by camera " +
                                                                 cameraName(*camera) +
                                                                 ", which is not in the plan");
    }

    std::optional<std::string> why(const net::Ipv4Bytes& address) const
    {
        if (!subnet_.holdsHost(address))
            return "not a host of " + subnet_.text();
        const auto found = reasons_.find(ipv4Word(address));
        if (found != reasons_.end())
            return found->second;
        return std::nullopt;
    }

private:
    net::Ipv4Subnet subnet_;
    std::map<std::uint32_t, std::string> reasons_;
};

// The subnet of `address` under the rules' mask, once the mask and the gateway pass.
bool subnetFor(const net::Ipv4Bytes& address, const char* what, const AddressRules& rules,
               net::Ipv4Subnet& subnet, std::string& error)
{
    if (!net::isContiguousMask(rules.mask)) {
        error = "the subnet mask " + formatIpv4(rules.mask) + " is not one run of ones";
        return false;
    }
    subnet = {net::ipv4FromWord(ipv4Word(address) & ipv4Word(rules.mask)), rules.mask};
    if (!subnet.holdsHost(address)) {
        error =
            std::string(what) + " " + formatIpv4(address) + " is not a host of " + subnet.text();
        return false;
    }
    if (!subnet.holdsHost(rules.gateway)) {
        error = "the gateway " + formatIpv4(rules.gateway) + " is not a host of " + subnet.text();
        return false;
    }
    return true;
}

// The cameras that answered and are not in the plan.
std::vector<const protocol::CameraRecord*>
othersThan(const std::vector<const protocol::CameraRecord*>& answered,
           const std::set<net::MacBytes>& planned)
{
    std::vector<const protocol::CameraRecord*> others;
    for (const protocol::CameraRecord* camera : answered)
        if (planned.count(protocol::macAddress(*camera)) == 0)
            others.push_back(camera);
    return others;
}

// The fields of one CSV file, row by row, with the line each row ends on.
struct CsvRows {
    std::vector<std::vector<std::string>> rows;
    std::vector<int> lines;          // where each row begins
    std::vector<std::string> fields; // of the row being read
    int line = 1;                    // of the text being fed
    int rowStart = 0;                // where the row being read begins; 0 before it does
    bool tooMany = false;

    static void field(void* data, std::size_t size, void* self)
    {
        auto& rows = *static_cast<CsvRows*>(self);
        rows.fields.emplace_back(static_cast<const char*>(data), size);
    }
    static void rowEnd(int, void* self)
    {
        auto& rows = *static_cast<CsvRows*>(self);
        if (rows.rows.size() > kMostPlanRows) {
            rows.tooMany = true;
        } else {
            rows.rows.push_back(std::move(rows.fields));
            rows.lines.push_back(rows.rowStart);
        }
        rows.fields.clear();
        rows.rowStart = 0;
    }
};

// Strict RFC 4180: a quote inside an unquoted field or an unfinished quoted field is refused,
// and blanks belong to their fields.
bool readCsv(const std::string& text, CsvRows& out, std::string& error)
{
    csv_parser parser{};
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) {
        error = "cannot start reading the file";
        return false;
    }
    csv_set_space_func(&parser, [](unsigned char) { return 0; });
    std::size_t at = 0;
    // Fed a line at a time, so that a row is known by the line it ends on.
    bool read = true;
    while (at < text.size() && read && !out.tooMany) {
        // A line ends at LF, CR LF, or a CR alone.
        std::size_t end = std::min(text.find_first_of("\r\n", at), text.size() - 1) + 1;
        if (text[end - 1] == '\r' && end < text.size() && text[end] == '\n')
            ++end;
        // Empty lines come between rows and belong to none.
        if (out.rowStart == 0 && text.find_first_not_of("\r\n", at) < end)
            out.rowStart = out.line;
        read = csv_parse(&parser, text.data() + at, end - at, CsvRows::field, CsvRows::rowEnd,
                         &out) == end - at;
        if (read && (text[end - 1] == '\n' || text[end - 1] == '\r'))
            ++out.line;
        at = end;
    }
    if (read && !out.tooMany)
        read = csv_fini(&parser, CsvRows::field, CsvRows::rowEnd, &out) == 0;
    const int failure = csv_error(&parser);
    csv_free(&parser);
    if (out.tooMany) {
        error = "more than " + std::to_string(kMostPlanRows) + " cameras";
        return false;
    }
    if (!read) {
        // A quote left open at the end of the text is the fault of the row it opened in.
        const int line = at >= text.size() && out.rowStart != 0 ? out.rowStart : out.line;
        error = "line " + std::to_string(line) + ": " +
                (failure == CSV_EPARSE ? "a quote that does not open or close a field"
                                       : std::string(csv_strerror(failure)));
        return false;
    }
    return true;
}

} // namespace

bool checkAddressRules(const net::Ipv4Bytes& first, const AddressRules& rules, std::string& error)
{
    net::Ipv4Subnet subnet;
    return subnetFor(first, "the first address", rules, subnet, error);
}

bool planAddresses(const std::vector<const protocol::CameraRecord*>& chosen,
                   const std::vector<const protocol::CameraRecord*>& answered,
                   const net::Ipv4Bytes& first, const AddressRules& rules, AddressPlan& out,
                   std::string& error)
{
    net::Ipv4Subnet subnet;
    if (!subnetFor(first, "the first address", rules, subnet, error))
        return false;

    // Ascending MAC order keeps the plan the same from one search to the next.
    std::map<net::MacBytes, const protocol::CameraRecord*> cameras;
    std::set<net::MacBytes> planned;
    for (const protocol::CameraRecord* camera : chosen) {
        cameras.emplace(protocol::macAddress(*camera), camera);
        planned.insert(protocol::macAddress(*camera));
    }
    const Exclusions excluded(subnet, rules, othersThan(answered, planned));

    const std::uint64_t last = (ipv4Word(subnet.network) | ~ipv4Word(rules.mask)) & 0xFFFFFFFFu;
    std::uint64_t next = ipv4Word(first);
    AddressPlan plan;
    for (const auto& [mac, camera] : cameras) {
        while (next <= last && excluded.why(net::ipv4FromWord(static_cast<std::uint32_t>(next))))
            ++next;
        if (next > last) {
            error = "camera " + cameraName(*camera) +
                    " gets no address: the plan runs past the end of " + subnet.text() + " (" +
                    std::to_string(cameras.size() - plan.cameras.size()) + " of " +
                    std::to_string(cameras.size()) + " cameras left without one)";
            return false;
        }
        plan.cameras.push_back({camera, net::ipv4FromWord(static_cast<std::uint32_t>(next++))});
    }
    out = std::move(plan);
    return true;
}

bool readPlanFile(const std::string& text, std::vector<PlanRow>& rows, std::string& error)
{
    const bool bom = text.rfind("\xEF\xBB\xBF", 0) == 0;
    CsvRows csv;
    if (!readCsv(bom ? text.substr(3) : text, csv, error))
        return false;
    if (csv.rows.empty()) {
        error = "the file is empty: it needs the header macAddress,ipAddress";
        return false;
    }
    const std::vector<std::string>& header = csv.rows.front();
    const bool described = header.size() == 3 && header[2] == "cameraDescription";
    if (header.size() < 2 || header[0] != "macAddress" || header[1] != "ipAddress" ||
        (header.size() > 2 && !described)) {
        error = "line " + std::to_string(csv.lines.front()) +
                ": the header must be macAddress,ipAddress or "
                "macAddress,ipAddress,cameraDescription";
        return false;
    }
    std::map<net::MacBytes, int> macs;
    std::map<net::Ipv4Bytes, int> addresses;
    std::vector<PlanRow> read;
    for (std::size_t i = 1; i < csv.rows.size(); ++i) {
        const std::vector<std::string>& fields = csv.rows[i];
        const std::string where = "line " + std::to_string(csv.lines[i]) + ": ";
        if (fields.size() != header.size()) {
            error = where + std::to_string(fields.size()) + " columns where the header has " +
                    std::to_string(header.size());
            return false;
        }
        PlanRow row;
        row.line = csv.lines[i];
        const auto mac = net::readMac(fields[0]);
        if (!mac) {
            error = where + "\"" + fields[0] + "\" is not a MAC address";
            return false;
        }
        const auto address = net::readStrictIpv4(fields[1]);
        if (!address) {
            error = where + "\"" + fields[1] + "\" is not an address: " + addressForm;
            return false;
        }
        if (const auto [twice, fresh] = macs.emplace(*mac, row.line); !fresh) {
            error = where + "camera " + net::formatMac(*mac) + " is planned on line " +
                    std::to_string(twice->second) + " already";
            return false;
        }
        if (const auto [twice, fresh] = addresses.emplace(*address, row.line); !fresh) {
            error = where + formatIpv4(*address) + " is planned on line " +
                    std::to_string(twice->second) + " already";
            return false;
        }
        row.mac = *mac;
        row.address = *address;
        read.push_back(row);
    }
    if (read.empty()) {
        error = "the file plans no camera";
        return false;
    }
    rows = std::move(read);
    return true;
}

bool planFromRows(const std::vector<PlanRow>& rows,
                  const std::vector<const protocol::CameraRecord*>& answered,
                  const AddressRules& rules, AddressPlan& out, std::string& error)
{
    if (rows.empty()) {
        error = "the plan names no camera";
        return false;
    }
    net::Ipv4Subnet subnet;
    if (!subnetFor(rows.front().address,
                   ("line " + std::to_string(rows.front().line) + ": the address").c_str(), rules,
                   subnet, error))
        return false;
    std::map<net::MacBytes, const protocol::CameraRecord*> byMac;
    for (const protocol::CameraRecord* camera : answered)
        byMac.emplace(protocol::macAddress(*camera), camera);
    std::set<net::MacBytes> planned;
    for (const PlanRow& row : rows)
        planned.insert(row.mac);
    const Exclusions excluded(subnet, rules, othersThan(answered, planned));

    AddressPlan plan;
    for (const PlanRow& row : rows) {
        const std::string where = "line " + std::to_string(row.line) + ": ";
        const auto camera = byMac.find(row.mac);
        if (camera == byMac.end()) {
            error =
                where + "no camera with MAC " + net::formatMac(row.mac) + " answered the search";
            return false;
        }
        if (const auto why = excluded.why(row.address)) {
            error = where + formatIpv4(row.address) + " is " + *why;
            return false;
        }
        plan.cameras.push_back({camera->second, row.address});
    }
    out = std::move(plan);
    return true;
}

std::vector<FieldChange> addressChanges(const net::Ipv4Bytes& address, const AddressRules& rules)
{
    std::vector<FieldChange> changes;
    const auto change = [&](const char* name, const std::string& value) {
        FieldChange made;
        std::string ignored;
        makeChange(field(name), value, made, ignored);
        changes.push_back(made);
    };
    change("networkType", "0");
    change("ipAddress", formatIpv4(address));
    change("subnetMask", formatIpv4(rules.mask));
    change("gateway", formatIpv4(rules.gateway));
    if (rules.dnsServer)
        change("dnsServer", formatIpv4(*rules.dnsServer));
    return changes;
}

} // namespace settings
