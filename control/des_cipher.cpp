#include "control/des_cipher.h"

#include <bit>

namespace corvo::control {
namespace {

// Bit numbers below are 1-based from the most significant bit, as in the
// standard's tables.

constexpr uint8_t kSBoxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11},
};

// Permutation P: output bit i is input bit kP[i-1].
constexpr uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                            2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

// Permuted choice 1 (64 key bits to C0 and D0) and 2 (C and D to 48 bits).
constexpr uint8_t kPc1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                              10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                              63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                              14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr uint8_t kPc2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                              26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                              51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// kSp[j][v]: S-box j+1 applied to the 6-bit group in the low bits of v, its
// 4 output bits put in their place among the 32 and then permuted by P: one
// lookup per S-box does both steps of a round's function. Each table has 256
// entries (the two high bits of v are ignored), so a round indexes it with a
// whole byte and needs no masking: 8 KiB in all, well within the L1 cache.
struct SpTables {
    uint32_t t[8][256];
};

constexpr SpTables MakeSpTables() {
    SpTables sp{};
    for (int j = 0; j < 8; ++j) {
        for (int byte = 0; byte < 256; ++byte) {
            const int v = byte & 0x3F;
            const int row = ((v >> 4) & 2) | (v & 1);
            const int column = (v >> 1) & 0xF;
            const uint32_t s = uint32_t(kSBoxes[j][row * 16 + column]) << (28 - 4 * j);
            uint32_t p = 0;
            for (int i = 0; i < 32; ++i)
                if (s & (0x80000000u >> (kP[i] - 1))) p |= 0x80000000u >> i;
            sp.t[j][byte] = p;
        }
    }
    return sp;
}

constexpr SpTables kSp = MakeSpTables();

// One round's function f(R, K). The expansion E gives group j (1..8) of 6
// bits as R rotated right by 31 - 4j: groups 1, 3, 5, 7 sit in the low six
// bits of the bytes of R rotated right by 3 and groups 2, 4, 6, 8 in those of
// R rotated left by 1, so two rotations and two key words (whose two high
// bits per byte are 0) replace E.
inline uint32_t F(uint32_t r, const uint32_t* k) {
    const uint32_t a = std::rotr(r, 3) ^ k[0];
    const uint32_t b = std::rotl(r, 1) ^ k[1];
    return kSp.t[0][a >> 24] ^ kSp.t[2][uint8_t(a >> 16)] ^ kSp.t[4][uint8_t(a >> 8)] ^
           kSp.t[6][uint8_t(a)] ^ kSp.t[1][b >> 24] ^ kSp.t[3][uint8_t(b >> 16)] ^
           kSp.t[5][uint8_t(b >> 8)] ^ kSp.t[7][uint8_t(b)];
}

inline uint32_t LoadBigEndian(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

inline void StoreBigEndian(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// The 16 rounds over kLanes consecutive blocks at once, with the round keys
// in the order given by kStep (+2 encrypts, -2 from the last key decrypts).
// The blocks are independent, so their rounds interleave: while one block
// waits for its table lookups the others proceed, which is what makes the
// region-sized runs fast. The rounds are unrolled, so every key offset is a
// constant.
template <int kLanes, int kStep>
inline void CryptLanes(const uint32_t* keys, uint8_t* data) {
    constexpr int kFirst = kStep > 0 ? 0 : 30;
    uint32_t l[kLanes], r[kLanes];
#pragma GCC unroll 8
    for (int j = 0; j < kLanes; ++j) {
        l[j] = LoadBigEndian(data + 8 * j);
        r[j] = LoadBigEndian(data + 8 * j + 4);
    }
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
        const uint32_t* k = keys + kFirst + 2 * kStep * i;
#pragma GCC unroll 8
        for (int j = 0; j < kLanes; ++j) l[j] ^= F(r[j], k);
#pragma GCC unroll 8
        for (int j = 0; j < kLanes; ++j) r[j] ^= F(l[j], k + kStep);
    }
#pragma GCC unroll 8
    for (int j = 0; j < kLanes; ++j) {
        StoreBigEndian(data + 8 * j, r[j]);
        StoreBigEndian(data + 8 * j + 4, l[j]);
    }
}

template <int kStep>
void Crypt(const uint32_t* keys, uint8_t* data, size_t blockCount) {
    constexpr size_t kLanes = 4;
    size_t n = 0;
    for (; n + kLanes <= blockCount; n += kLanes) CryptLanes<kLanes, kStep>(keys, data + 8 * n);
    for (; n < blockCount; ++n) CryptLanes<1, kStep>(keys, data + 8 * n);
}

}  // namespace

DesCipher::DesCipher(const std::array<uint8_t, 8>& key) {
    const auto keyBit = [&](int n) { return (key[(n - 1) / 8] >> (7 - (n - 1) % 8)) & 1u; };
    uint32_t c = 0, d = 0;  // 28 bits each, bit 1 of the half in bit 27
    for (int i = 0; i < 28; ++i) {
        c = c << 1 | keyBit(kPc1[i]);
        d = d << 1 | keyBit(kPc1[28 + i]);
    }
    for (int round = 0; round < 16; ++round) {
        for (int s = 0; s < kShifts[round]; ++s) {
            c = ((c << 1) | (c >> 27)) & 0x0FFFFFFF;
            d = ((d << 1) | (d >> 27)) & 0x0FFFFFFF;
        }
        const auto cdBit = [&](int n) {
            return n <= 28 ? (c >> (28 - n)) & 1u : (d >> (56 - n)) & 1u;
        };
        uint32_t groups[8] = {};
        for (int i = 0; i < 48; ++i) groups[i / 6] = groups[i / 6] << 1 | cdBit(kPc2[i]);
        roundKeys_[2 * round] = groups[0] << 24 | groups[2] << 16 | groups[4] << 8 | groups[6];
        roundKeys_[2 * round + 1] = groups[1] << 24 | groups[3] << 16 | groups[5] << 8 | groups[7];
    }
}

void DesCipher::Encrypt(uint8_t* data, size_t blockCount) const {
    Crypt<2>(roundKeys_.data(), data, blockCount);
}

void DesCipher::Decrypt(uint8_t* data, size_t blockCount) const {
    Crypt<-2>(roundKeys_.data(), data, blockCount);
}

}  // namespace corvo::control
