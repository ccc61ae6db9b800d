#pragma once

#include <cstdint>
#include <string_view>

namespace net {

// Socket error numbers follow the Winsock numbering throughout the program, whatever the
// platform's own numbers are, so that messages and ErrorCode values look the same everywhere.
inline constexpr std::int32_t kErrorInterrupted = 10004;
inline constexpr std::int32_t kErrorAccessDenied = 10013;
inline constexpr std::int32_t kErrorInvalidArgument = 10022;
inline constexpr std::int32_t kErrorWouldBlock = 10035;
inline constexpr std::int32_t kErrorMessageTooLong = 10040;
inline constexpr std::int32_t kErrorNetworkUnreachable = 10051;

// Host lookup failures; they have no text.
inline constexpr std::int32_t kErrorHostNotFound = 11001;
inline constexpr std::int32_t kErrorTryAgain = 11002;
inline constexpr std::int32_t kErrorNoRecovery = 11003;
inline constexpr std::int32_t kErrorNoData = 11004;

// The text for a socket error number; empty for a number without one.
std::string_view socketErrorText(std::int32_t errorCode);

// The socket error number for a Linux errno value. A value without a counterpart is passed
// through unchanged: errno values are far below 10000 and so never collide with a socket error
// number, and they have no text.
std::int32_t socketErrorFromErrno(int errnoValue);

// The lookup failure number for a getaddrinfo result (EAI_*). EAI_SYSTEM takes errno instead.
std::int32_t lookupErrorFromGai(int gaiResult, int errnoValue);

} // namespace net
