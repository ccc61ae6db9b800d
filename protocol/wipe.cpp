#include "protocol/wipe.h"

#include <string.h> // explicit_bzero

namespace protocol {

void wipe(void* data, std::size_t size)
{
    if (data != nullptr && size > 0)
        explicit_bzero(data, size);
}

void wipe(std::string& text)
{
    // Growing to the capacity never reallocates, and makes every byte of the storage the
    // string's own to overwrite.
    text.resize(text.capacity());
    wipe(text.data(), text.size());
    text.clear();
}

void wipe(ParameterPacket& packet)
{
    wipe(packet.bytes.data(), packet.bytes.size());
}

} // namespace protocol
