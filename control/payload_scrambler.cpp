#include "control/payload_scrambler.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "control/des_cipher.h"
#include "exchange_key_config.h"
#include "platform/code_page.h"

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

// The XOR pass gives equal bytes to equal bytes a whole number of key
// repetitions apart, and DES blocks start every 8 bytes: so the period, in
// blocks, after which a run of equal plain bytes (the zeros after the
// document in a new block) becomes the same cipher blocks again.
size_t RepeatPeriodBlocks(size_t xorKeySize) {
    return std::lcm(std::max<size_t>(xorKeySize, 1), size_t(8)) / 8;
}

// DES over `blockCount` blocks in electronic code book mode, where equal
// blocks encrypt to equal blocks. The tail of blocks each equal to the block
// `period` blocks before it is found first; only the blocks ahead of it are
// encrypted and the tail is copied from the blocks a period earlier, which
// gives the same bytes as encrypting it.
void EncryptWithPeriodicTail(const DesCipher& des, uint8_t* data, size_t blockCount,
                             size_t period) {
    size_t tail = blockCount;
    while (tail > period &&
           std::memcmp(data + 8 * (tail - 1), data + 8 * (tail - 1 - period), 8) == 0)
        --tail;
    des.Encrypt(data, tail);
    for (size_t i = tail; i < blockCount; ++i)
        std::memcpy(data + 8 * i, data + 8 * (i - period), 8);
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
    EncryptWithPeriodicTail(DesCipher(keys.desKey), region, length / 8,
                            RepeatPeriodBlocks(keys.xorKey.size()));
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
