// The project's MD5 against the reference digests that come with its
// definition, and a message fed in pieces that straddle block boundaries.
#include <gtest/gtest.h>

#include <string>

#include "common/Md5.h"

namespace {

TEST(Md5, GivesTheReferenceDigests)
{
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Md5::Hex(""));
    EXPECT_EQ("0cc175b9c0f1b6a831c399e269772661", Md5::Hex("a"));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Md5::Hex("abc"));
    EXPECT_EQ("f96b697d7cb7938d525a2f31aaf161d0", Md5::Hex("message digest"));
    EXPECT_EQ("c3fcd3d76192e4007dfb496cca67e13b", Md5::Hex("abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ("d174ab98d277d9f5a5611c2c9f419d9f",
              Md5::Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"));
    EXPECT_EQ("57edf4a22be3c955ac49da2e2107b67a",
              Md5::Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"));
}

TEST(Md5, MessagesFedInPiecesDigestAsAWhole)
{
    // Lengths around the padding edge (55, 56, 64) and over several blocks.
    for (size_t length : {55u, 56u, 63u, 64u, 65u, 200u}) {
        std::string message;
        for (size_t i = 0; i < length; ++i) message += static_cast<char>('A' + i * 7 % 26);
        Md5 pieces;
        for (size_t at = 0; at < length; at += 13) pieces.Update(message.substr(at, 13));
        Md5 whole;
        whole.Update(message);
        EXPECT_EQ(whole.Finish(), pieces.Finish()) << "length " << length;
    }
    // Bytes with the high bit set are taken as they are.
    EXPECT_EQ("d7fbcf9f9bd65fb50e9c9467a8009644", Md5::Hex("\xe9\xe8\xff"));
}

}  // namespace
