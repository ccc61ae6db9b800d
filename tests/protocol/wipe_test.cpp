#include <algorithm>
#include <gtest/gtest.h>
#include <string>

#include "protocol/wipe.h"

using namespace protocol;

namespace {

// The bytes of the string's storage, read through the pointer it had before the wipe; the
// storage stays the string's, since a wipe never gives memory back.
bool storageIsZero(const char* storage, std::size_t capacity)
{
    return std::all_of(storage, storage + capacity, [](char c) { return c == 0; });
}

} // namespace

TEST(Wipe, StringStorageIsZeroedWholeAndTheStringLeftEmpty)
{
    for (const std::size_t length : {3u, 10u, 21u, 200u}) {
        SCOPED_TRACE(length);
        std::string secret(length, 'p');
        const char* storage = secret.data();
        const std::size_t capacity = secret.capacity();
        wipe(secret);
        EXPECT_TRUE(secret.empty());
        EXPECT_EQ(secret.data(), storage);
        EXPECT_TRUE(storageIsZero(storage, capacity));
    }
}

TEST(Wipe, StringBytesPastItsEndFromALongerTextAreZeroedToo)
{
    std::string secret(40, 'q');
    secret.resize(4);
    const char* storage = secret.data();
    const std::size_t capacity = secret.capacity();
    ASSERT_GE(capacity, 40u);
    wipe(secret);
    EXPECT_TRUE(storageIsZero(storage, capacity));
}

TEST(Wipe, PacketAndRawBytes)
{
    ParameterPacket packet;
    packet.bytes.fill(0x5A);
    wipe(packet);
    EXPECT_TRUE(
        std::all_of(packet.bytes.begin(), packet.bytes.end(), [](auto b) { return b == 0; }));

    unsigned char block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    wipe(block + 2, 4);
    EXPECT_EQ(std::string(block, block + 8), std::string("\1\2\0\0\0\0\7\10", 8));
}
