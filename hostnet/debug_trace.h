#pragma once

namespace hostnet {

inline constexpr int kDebugTraceBufferSize = 512;

// Formats printf-style into a buffer of kDebugTraceBufferSize characters and writes the text to
// standard error, the developer's channel. A longer text is cut to fit the buffer. Returns the
// number of characters written, 0 when the format cannot be applied.
int DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace hostnet
