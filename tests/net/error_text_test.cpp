#include <cerrno>
#include <gtest/gtest.h>
#include <netdb.h>

#include "net/error_text.h"
#include "net/exceptions.h"
#include "net/socket_stack.h"

using namespace net;

TEST(ErrorText, TextsAndMessages)
{
    EXPECT_EQ(socketErrorText(10004), "Interrupted system call.");
    EXPECT_EQ(socketErrorText(10035), "Operation would block. ");
    EXPECT_EQ(socketErrorText(10047), "Address family not supported by protocol family.");
    EXPECT_EQ(socketErrorText(10066), "Directory not empty");
    for (int number : {0, 10003, 10067, 11001}) {
        EXPECT_EQ(socketErrorText(number), "") << number;
    }
    EXPECT_STREQ(EIdSocketError(10051).what(), "Socket Error # 10051\r\nNetwork is unreachable.");
    EXPECT_STREQ(EIdSocketError(11001).what(), "Socket Error # 11001\r\n");
    // Callers catch by the family's bases; a wrong base would slip past them.
    EXPECT_THROW(throw EIdPackageSizeTooBig(), EIdSocketHandleError);
    EXPECT_THROW(throw EIdUDPReceiveErrorZeroBytes(), EIdUDPException);
}

TEST(ErrorText, PlatformNumbersLandOnSocketErrorNumbers)
{
    EXPECT_EQ(socketErrorFromErrno(ENETUNREACH), 10051);
    EXPECT_EQ(socketErrorFromErrno(EAGAIN), 10035);
    EXPECT_EQ(socketErrorFromErrno(EPERM), 10013);
    EXPECT_EQ(socketErrorFromErrno(ENOTEMPTY), 10066);
    EXPECT_EQ(socketErrorFromErrno(EIO), EIO) << "no counterpart: passed through";
    EXPECT_EQ(lookupErrorFromGai(EAI_NONAME, 0), 11001);
    EXPECT_EQ(lookupErrorFromGai(EAI_AGAIN, 0), 11002);
    EXPECT_EQ(lookupErrorFromGai(EAI_NODATA, 0), 11004);
    EXPECT_EQ(lookupErrorFromGai(EAI_SYSTEM, ENETUNREACH), 10051);
    EXPECT_EQ(lookupErrorFromGai(EAI_SYSTEM, 0), 11003) << "a failure never reads as error 0";
}

TEST(ErrorText, DottedQuadIsFourDecimalPiecesUpTo255)
{
    for (const char* quad : {"0.0.0.0", "255.255.255.255", "010.000.000.001", "1.2.3.0255"}) {
        EXPECT_TRUE(SocketStack::isDottedQuad(quad)) << quad;
    }
    for (const char* text : {"", "1.2.3.", "1..2.3", "1.2.3.-4", "1.2.3.+4", " 1.2.3.4",
                             "0x1.2.3.4", "1.2.3.99999999999"}) {
        EXPECT_FALSE(SocketStack::isDottedQuad(text)) << '"' << text << '"';
    }
}
