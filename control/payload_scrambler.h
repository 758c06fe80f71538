// Scrambling of an exchange block's payload region with keys derived from one
// account's full user ID, in two passes: an exclusive-or with a repeated key,
// then DES without its initial and final permutations (des_cipher.h) over
// independent 8-byte blocks.
//
// Keys: K is the user ID in the ANSI code page of the calling thread's locale
// (code page 0: on POSIX the codeset of the current LC_CTYPE), without
// terminator. The XOR key is K followed by the configured XOR suffix, read as
// a zero-terminated byte string (it ends at its first zero byte, which may lie
// in K itself). The DES key is the first 8 bytes of K followed by all 5 bytes
// of the configured DES suffix; when that is shorter than 8 bytes (K of 0 to 2
// bytes) the rest of the key is zero bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvo::control {

// The two configured 5-byte suffixes (docs/configuration.md).
extern const std::array<uint8_t, 5> kXorKeySuffix;
extern const std::array<uint8_t, 5> kDesKeySuffix;

// A pair of suffixes. The control always uses the configured pair; another
// pair serves interoperability work with a client built with other values.
struct KeySuffixes {
    std::array<uint8_t, 5> xorSuffix{};
    std::array<uint8_t, 5> desSuffix{};
};

// kXorKeySuffix and kDesKeySuffix as a pair.
KeySuffixes ConfiguredKeySuffixes();

struct PayloadKeys {
    std::string xorKey;  // without terminator; may be empty
    std::array<uint8_t, 8> desKey{};
};

// The keys for `userId`, as above, with the configured suffixes or the given ones.
PayloadKeys MakePayloadKeys(std::u16string_view userId);
PayloadKeys MakePayloadKeys(std::u16string_view userId, const KeySuffixes& suffixes);

// Exclusive-or of region byte j with key byte (j mod key size); an empty key
// changes nothing.
void XorWithRepeatedKey(uint8_t* region, size_t length, std::string_view key);

// In-place transforms of a payload region; both fail (and change nothing)
// unless `length` is a multiple of 8.
bool ScramblePayload(uint8_t* region, size_t length, std::u16string_view userId);
bool UnscramblePayload(uint8_t* region, size_t length, std::u16string_view userId);
// The same with keys made from the given suffixes.
bool ScramblePayload(uint8_t* region, size_t length, std::u16string_view userId,
                     const KeySuffixes& suffixes);
bool UnscramblePayload(uint8_t* region, size_t length, std::u16string_view userId,
                       const KeySuffixes& suffixes);

}  // namespace corvo::control
