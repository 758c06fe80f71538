#include "control/payload_scrambler.h"

#include <algorithm>

#include "control/des_cipher.h"
#include "exchange_key_config.h"
#include "platform/posix/code_page.h"

namespace corvo::control {

const std::array<uint8_t, 5> kXorKeySuffix = {CORVO_BLOCK_XOR_SUFFIX_BYTES};
const std::array<uint8_t, 5> kDesKeySuffix = {CORVO_BLOCK_DES_SUFFIX_BYTES};

namespace {

// The user ID in the thread locale's ANSI code page. The conversion is
// lenient, so only an empty ID gives an empty K.
std::string AnsiUserKey(std::u16string_view userId) {
    if (userId.empty()) return {};
    const int count = int(userId.size());
    const int needed =
        platform::WideCharToMultiByte(platform::kCodePageDefault, userId.data(), count, nullptr, 0);
    if (needed <= 0) return {};
    std::string key(size_t(needed), '\0');
    const int written = platform::WideCharToMultiByte(platform::kCodePageDefault, userId.data(),
                                                      count, key.data(), needed);
    key.resize(size_t(std::max(written, 0)));
    return key;
}

}  // namespace

KeySuffixes ConfiguredKeySuffixes() {
    return KeySuffixes{kXorKeySuffix, kDesKeySuffix};
}

PayloadKeys MakePayloadKeys(std::u16string_view userId) {
    return MakePayloadKeys(userId, ConfiguredKeySuffixes());
}

PayloadKeys MakePayloadKeys(std::u16string_view userId, const KeySuffixes& suffixes) {
    const std::string k = AnsiUserKey(userId);
    PayloadKeys keys;
    std::string xorKey = k;
    xorKey.append(suffixes.xorSuffix.begin(), suffixes.xorSuffix.end());
    keys.xorKey = xorKey.substr(0, xorKey.find('\0'));
    std::string desKey = k;
    desKey.append(suffixes.desSuffix.begin(), suffixes.desSuffix.end());
    std::copy_n(desKey.begin(), std::min<size_t>(desKey.size(), 8), keys.desKey.begin());
    return keys;
}

void XorWithRepeatedKey(uint8_t* region, size_t length, std::string_view key) {
    if (key.empty()) return;
    // The key tiled into a stretch of whole repetitions, so that the region is
    // walked in stretches that each start at a multiple of the key size: the
    // inner loop is a plain byte-wise exclusive-or the compiler vectorises.
    constexpr size_t kMinStretch = 512;
    const size_t repeats = (kMinStretch + key.size() - 1) / key.size();
    std::string stretch;
    stretch.reserve(repeats * key.size());
    for (size_t i = 0; i < repeats; ++i) stretch.append(key);
    const auto* pattern = reinterpret_cast<const uint8_t*>(stretch.data());
    for (size_t done = 0; done < length;) {
        const size_t n = std::min(stretch.size(), length - done);
        uint8_t* out = region + done;
        for (size_t j = 0; j < n; ++j) out[j] ^= pattern[j];
        done += n;
    }
}

bool ScramblePayload(uint8_t* region, size_t length, std::u16string_view userId) {
    return ScramblePayload(region, length, userId, ConfiguredKeySuffixes());
}

bool UnscramblePayload(uint8_t* region, size_t length, std::u16string_view userId) {
    return UnscramblePayload(region, length, userId, ConfiguredKeySuffixes());
}

bool ScramblePayload(uint8_t* region, size_t length, std::u16string_view userId,
                     const KeySuffixes& suffixes) {
    if (length % 8 != 0) return false;
    const PayloadKeys keys = MakePayloadKeys(userId, suffixes);
    XorWithRepeatedKey(region, length, keys.xorKey);
    DesCipher(keys.desKey).Encrypt(region, length / 8);
    return true;
}

bool UnscramblePayload(uint8_t* region, size_t length, std::u16string_view userId,
                       const KeySuffixes& suffixes) {
    if (length % 8 != 0) return false;
    const PayloadKeys keys = MakePayloadKeys(userId, suffixes);
    DesCipher(keys.desKey).Decrypt(region, length / 8);
    XorWithRepeatedKey(region, length, keys.xorKey);
    return true;
}

}  // namespace corvo::control
