#include "net/exceptions.h"

#include "net/error_text.h"

namespace net {

EIdSocketError::EIdSocketError(std::int32_t errorCode)
    : EIdException("Socket Error # " + std::to_string(errorCode) + "\r\n" +
                   std::string(socketErrorText(errorCode))),
      ErrorCode(errorCode)
{}

} // namespace net
