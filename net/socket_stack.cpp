#include "net/socket_stack.h"

#include <memory>

#include "net/address_text.h"
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
    return formatIpv4(address);
}

void SocketStack::raiseSocketError() const
{
    throw EIdSocketError(lastError());
}

bool SocketStack::isDottedQuad(const std::string& text)
{
    return readStrictIpv4(text, LeadingZeros::allowed).has_value();
}

Ipv4Bytes SocketStack::textToAddress(const std::string& text)
{
    return readStrictIpv4(text, LeadingZeros::allowed).value_or(Ipv4Bytes{});
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
