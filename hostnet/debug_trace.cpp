#include "hostnet/debug_trace.h"

#include <cstdarg>
#include <cstdio>

namespace hostnet {

int DebugTrace(const char* format, ...)
{
    char buffer[kDebugTraceBufferSize];
    va_list args;
    va_start(args, format);
    const int wanted = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (wanted < 0)
        return 0;
    const int written = wanted < kDebugTraceBufferSize ? wanted : kDebugTraceBufferSize - 1;
    std::fwrite(buffer, 1, static_cast<std::size_t>(written), stderr);
    std::fflush(stderr);
    return written;
}

} // namespace hostnet
