// Our DES against OpenSSL's: for every block B, ours(B) = IP(DES_K(IP^-1(B))).
#include "control/des_cipher.h"

#include <gtest/gtest.h>
#include <openssl/des.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

namespace corvo::control {
namespace {

using Block = std::array<uint8_t, 8>;

constexpr uint8_t kIp[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                             62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                             57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                             61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

bool Bit(const Block& b, int n) {  // n is 1-based from the first byte's top bit
    return (b[(n - 1) / 8] >> (7 - (n - 1) % 8)) & 1;
}

void SetBit(Block& b, int n) {
    b[(n - 1) / 8] |= uint8_t(0x80 >> ((n - 1) % 8));
}

Block Ip(const Block& in) {
    Block out{};
    for (int i = 0; i < 64; ++i)
        if (Bit(in, kIp[i])) SetBit(out, i + 1);
    return out;
}

Block InverseIp(const Block& in) {
    Block out{};
    for (int i = 0; i < 64; ++i)
        if (Bit(in, i + 1)) SetBit(out, kIp[i]);
    return out;
}

Block OpenSslDes(const Block& key, const Block& in, bool encrypt) {
    DES_cblock k;
    std::memcpy(k, key.data(), 8);
    DES_key_schedule schedule;
    DES_set_key_unchecked(&k, &schedule);
    DES_cblock input, output;
    std::memcpy(input, in.data(), 8);
    DES_ecb_encrypt(&input, &output, &schedule, encrypt ? DES_ENCRYPT : DES_DECRYPT);
    Block out;
    std::memcpy(out.data(), output, 8);
    return out;
}

Block RandomBlock(std::mt19937_64& rng) {
    Block b;
    const uint64_t v = rng();
    std::memcpy(b.data(), &v, 8);
    return b;
}

TEST(DesCipher, MatchesOpenSslWithoutThePermutations) {
    std::mt19937_64 rng(20240611);
    for (int round = 0; round < 3000; ++round) {
        const Block key = RandomBlock(rng);
        const Block plain = RandomBlock(rng);
        const DesCipher cipher(key);

        Block ours = plain;
        cipher.Encrypt(ours.data(), 1);
        ASSERT_EQ(ours, Ip(OpenSslDes(key, InverseIp(plain), true))) << "round " << round;

        Block back = ours;
        cipher.Decrypt(back.data(), 1);
        ASSERT_EQ(back, plain) << "round " << round;
        ASSERT_EQ(back, Ip(OpenSslDes(key, InverseIp(ours), false))) << "round " << round;
    }
}

TEST(DesCipher, BlocksAreIndependentAndParityIsIgnored) {
    std::mt19937_64 rng(7);
    const Block key = RandomBlock(rng);
    Block flipped = key;
    for (auto& b : flipped) b ^= 1;  // only the parity bits differ
    std::vector<uint8_t> data(8 * 64);
    for (auto& b : data) b = uint8_t(rng());
    std::memcpy(&data[8 * 10], &data[0], 8);  // equal plain blocks: equal cipher blocks

    std::vector<uint8_t> ours = data, other = data;
    DesCipher(key).Encrypt(ours.data(), 64);
    DesCipher(flipped).Encrypt(other.data(), 64);
    EXPECT_EQ(ours, other);
    EXPECT_EQ(0, std::memcmp(&ours[0], &ours[80], 8));
    for (size_t i = 0; i < 64; ++i) {
        Block one;
        std::memcpy(one.data(), &data[8 * i], 8);
        DesCipher(key).Encrypt(one.data(), 1);
        ASSERT_EQ(0, std::memcmp(one.data(), &ours[8 * i], 8)) << "block " << i;
    }
    DesCipher(key).Decrypt(ours.data(), 64);
    EXPECT_EQ(ours, data);
}

// Runs of every length from 0 to 13 blocks (whole groups of blocks processed
// together and the blocks left over), each block against the oracle in both
// directions; the bytes after the run stay untouched.
TEST(DesCipher, RunsOfAnyLengthMatchOpenSslBlockByBlock) {
    std::mt19937_64 rng(31);
    for (size_t count = 0; count <= 13; ++count) {
        const Block key = RandomBlock(rng);
        std::vector<uint8_t> plain(8 * (count + 1));
        for (auto& b : plain) b = uint8_t(rng());
        std::vector<uint8_t> ours = plain;
        DesCipher(key).Encrypt(ours.data(), count);
        for (size_t i = 0; i < count; ++i) {
            Block in, out;
            std::memcpy(in.data(), &plain[8 * i], 8);
            std::memcpy(out.data(), &ours[8 * i], 8);
            ASSERT_EQ(out, Ip(OpenSslDes(key, InverseIp(in), true)))
                << count << " blocks, block " << i;
            ASSERT_EQ(in, Ip(OpenSslDes(key, InverseIp(out), false)))
                << count << " blocks, block " << i;
        }
        EXPECT_EQ(0, std::memcmp(&ours[8 * count], &plain[8 * count], 8)) << count << " blocks";
        DesCipher(key).Decrypt(ours.data(), count);
        EXPECT_EQ(ours, plain) << count << " blocks";
    }
}

}  // namespace
}  // namespace corvo::control
