#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace net {

// Every failure of the transport is one of these; what() is the message the user sees.
class EIdException : public std::runtime_error {
public:
    explicit EIdException(const std::string& message) : std::runtime_error(message) {}
};

// A failed socket call: "Socket Error # <number>\r\n<text>", the text from error_text.h.
class EIdSocketError : public EIdException {
public:
    explicit EIdSocketError(std::int32_t errorCode);

    std::int32_t ErrorCode;
};

class EIdInvalidSocket : public EIdException {
public:
    EIdInvalidSocket() : EIdException("Cannot allocate socket.") {}
};

class EIdSocketHandleError : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdPackageSizeTooBig : public EIdSocketHandleError {
public:
    EIdPackageSizeTooBig() : EIdSocketHandleError("Package Size Too Big.") {}
};

class EIdNotAllBytesSent : public EIdSocketHandleError {
public:
    EIdNotAllBytesSent() : EIdSocketHandleError("Not all bytes sent.") {}
};

class EIdUDPException : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdUDPReceiveErrorZeroBytes : public EIdUDPException {
public:
    EIdUDPReceiveErrorZeroBytes() : EIdUDPException("UDP Receive Error = 0.") {}
};

} // namespace net
