#include "net/socket_stack.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "net/exceptions.h"
#include "net/posix_socket_stack.h"

namespace net {

namespace {

// Only the window's thread touches these.
std::unique_ptr<SocketStack> sharedStack;
int sharedStackUsers = 0;

bool equalsIgnoringCase(const std::string& text, const char* word)
{
    std::size_t i = 0;
    for (; i < text.size() && word[i] != '\0'; ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c != word[i]) {
            return false;
        }
    }
    return i == text.size() && word[i] == '\0';
}

// A piece of a dotted quad: digits only, value 0 to 255; leading zeros allowed.
std::optional<std::uint8_t> quadPiece(const std::string& piece)
{
    if (piece.empty()) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (char c : piece) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 255) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint8_t>(value);
}

std::optional<Ipv4Bytes> parseQuad(const std::string& text)
{
    Ipv4Bytes bytes{};
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        std::size_t end = i < 3 ? text.find('.', start) : text.size();
        if (end == std::string::npos) {
            return std::nullopt;
        }
        auto piece = quadPiece(text.substr(start, end - start));
        if (!piece) {
            return std::nullopt;
        }
        bytes[i] = *piece;
        start = end + 1;
    }
    return bytes;
}

} // namespace

std::string SocketStack::resolveHost(const std::string& host)
{
    if (equalsIgnoringCase(host, "LOCALHOST")) {
        return "127.0.0.1";
    }
    if (isDottedQuad(host)) {
        return host;
    }
    Ipv4Bytes address{};
    if (!lookupHost(host, address)) {
        raiseSocketError();
    }
    return addressToText(address);
}

void SocketStack::raiseSocketError() const
{
    throw EIdSocketError(lastError());
}

bool SocketStack::isDottedQuad(const std::string& text)
{
    return parseQuad(text).has_value();
}

std::string SocketStack::addressToText(const Ipv4Bytes& address)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", address[0], address[1], address[2], address[3]);
    return text;
}

Ipv4Bytes SocketStack::textToAddress(const std::string& text)
{
    return parseQuad(text).value_or(Ipv4Bytes{});
}

SocketStack& acquireProcessStack()
{
    if (sharedStackUsers == 0) {
        sharedStack = std::make_unique<PosixSocketStack>();
    }
    ++sharedStackUsers;
    return *sharedStack;
}

void releaseProcessStack()
{
    if (sharedStackUsers > 0 && --sharedStackUsers == 0) {
        sharedStack.reset();
    }
}

SocketStack* processStack()
{
    return sharedStack.get();
}

} // namespace net
