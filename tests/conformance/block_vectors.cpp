// Scrambled exchange-block images for fixed user IDs, suffixes and texts, and
// the texts read back out of them.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "control/exchange_block.h"
#include "control/payload_scrambler.h"
#include "tests/conformance/vector_sink.h"

namespace corvo::conformance {
namespace {

struct BlockInput {
    const char* what;
    std::u16string userId;
    std::u16string text;
};

const BlockInput kBlocks[] = {
    {"ascii-user", u"cnmarketalice", u"<SSOLogin><result>1</result></SSOLogin>"},
    {"empty-user", u"", u"<a/>"},
    {"two-byte-user", u"ab", u"<a/>"},
    {"eight-byte-user", u"cnmarket", u"x"},
    {"gbk-user", u"cnmarket\u4e2d\u6587", u"<a>\u4e2d</a>"},
    {"latin-user", u"cnmarket\u00e9", u"<a/>"},
    {"gbk-text", u"cnmarketbob", u"<n>\u4e2d\u6587\u20ac\u00b7</n>"},
    {"text-outside-936", u"cnmarketbob", u"<n>\u0e01\uac00\U0001F600</n>"},
    {"empty-text", u"cnmarketbob", u""},
};

std::string ImageText(const std::array<uint8_t, control::kBlockSize>& image) {
    return std::string(reinterpret_cast<const char*>(image.data()), image.size());
}

void EmitBlock(const std::string& id, const BlockInput& in, const control::KeySuffixes* suffixes) {
    std::array<uint8_t, control::kBlockSize> image{};
    const control::BlockStatus status =
        suffixes ? control::EncodeBlockImage(image, in.text, in.userId, *suffixes)
                 : control::EncodeBlockImage(image, in.text, in.userId);
    const std::string input = HexUnits(in.userId) + " / " + HexUnits(in.text);
    if (status != control::BlockStatus::kOk) {
        Emit(id + "/image", input, control::BlockStatusText(status));
        return;
    }
    // The header and the first scrambled bytes in full, the rest as a fingerprint.
    Emit(id + "/image-head", input, Hex(ImageText(image).substr(0, 48)));
    Emit(id + "/image", input, Fingerprint(ImageText(image)));
    std::u16string back;
    const control::BlockStatus read =
        suffixes ? control::DecodeBlockImage(image, in.userId, *suffixes, &back)
                 : control::DecodeBlockImage(image, in.userId, &back);
    Emit(id + "/read-back", input,
         read == control::BlockStatus::kOk ? HexUnits(back) : control::BlockStatusText(read));
}

}  // namespace

void EmitBlockVectors() {
    const control::KeySuffixes other{{0x01, 0x00, 0x7f, 0x80, 0xff},
                                     {0xa5, 0x5a, 0x00, 0x11, 0xee}};
    for (const BlockInput& in : kBlocks) {
        EmitBlock(std::string("block/configured/") + in.what, in, nullptr);
        EmitBlock(std::string("block/other-suffixes/") + in.what, in, &other);
    }
    // The keys alone: they carry the user ID through code page 0.
    for (const BlockInput& in : kBlocks) {
        const control::PayloadKeys keys = control::MakePayloadKeys(in.userId);
        Emit(std::string("keys/") + in.what, HexUnits(in.userId),
             "xor " + Hex(keys.xorKey) + " des " +
                 Hex(std::string(reinterpret_cast<const char*>(keys.desKey.data()), 8)));
    }
}

}  // namespace corvo::conformance
