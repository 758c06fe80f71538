// Single DES (FIPS 46-3) without the initial and final permutations, in
// electronic code book mode over whole 8-byte blocks.
//
// Bytes 0-3 of a block, read big-endian, are L0 and bytes 4-7 are R0; the 16
// standard rounds with the standard key schedule, S-boxes and P permutation
// follow; the output block is R16 (big-endian) followed by L16. For every block
// B this equals IP(DES_K(IP^-1(B))) of standard DES. Parity bits of the key
// are ignored.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace corvo::control {

class DesCipher {
  public:
    // The key's 64 bits, first byte first.
    explicit DesCipher(const std::array<uint8_t, 8>& key);

    // Transform `blockCount` 8-byte blocks in place.
    void Encrypt(uint8_t* data, size_t blockCount) const;
    void Decrypt(uint8_t* data, size_t blockCount) const;

  private:
    // Round key i as two words: the 6-bit groups 1, 3, 5, 7 in bits 24-29,
    // 16-21, 8-13, 0-5 of the first and groups 2, 4, 6, 8 likewise in the
    // second, matching how a round cuts its expanded half (des_cipher.cpp).
    std::array<uint32_t, 32> roundKeys_{};
};

}  // namespace corvo::control
