#include "control/exchange_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "control/exchange_name.h"
#include "control/payload_scrambler.h"

namespace corvo::control {
namespace {

using Image = std::array<uint8_t, kBlockSize>;
using platform::SharedMemory;

const std::u16string kUser = u"cnalichnuser01";

// A block image built by hand from a header, the payload's plain bytes and a
// key, independently of EncodeBlockImage.
std::vector<uint8_t> ForeignImage(const BlockHeader& h, std::string plain, size_t imageSize,
                                  std::u16string_view userId) {
    std::vector<uint8_t> image(imageSize, 0);
    StoreBlockHeader(h, std::span<uint8_t, kBlockHeaderSize>(image.data(), kBlockHeaderSize));
    plain.resize(h.capacity, '\0');
    std::vector<uint8_t> payload(plain.begin(), plain.end());
    EXPECT_TRUE(ScramblePayload(payload.data(), payload.size(), userId));
    std::copy(payload.begin(), payload.end(), image.begin() + h.headerSize);
    return image;
}

TEST(ExchangeBlockImage, RoundTripsWithTheSameUserIdOnly) {
    const std::u16string text = u"<SSO_XML_NAME>\r\n\t<result>1</result>\r\n</SSO_XML_NAME>\r\n";
    Image image{};
    ASSERT_EQ(EncodeBlockImage(image, text, kUser), BlockStatus::kOk);
    const BlockHeader h = LoadBlockHeader(std::span<const uint8_t, 16>(image.data(), 16));
    EXPECT_EQ(h.headerSize, 16u);
    EXPECT_EQ(h.capacity, 8192u);
    EXPECT_EQ(h.documentLength, text.size());
    EXPECT_EQ(h.reserved, 0u);
    // The zeros after the text are scrambled too.
    EXPECT_NE(std::vector<uint8_t>(image.end() - 64, image.end()), std::vector<uint8_t>(64, 0));

    std::u16string back;
    ASSERT_EQ(DecodeBlockImage(image, kUser, &back), BlockStatus::kOk);
    EXPECT_EQ(back, text);

    std::u16string other = u"untouched";
    const BlockStatus status = DecodeBlockImage(image, u"cnalichnuser02", &other);
    EXPECT_TRUE(status != BlockStatus::kOk || other != text);
}

TEST(ExchangeBlockImage, TextTravelsInCodePage936) {
    const std::u16string text = u"<a>\u4e2d\u6587</a>";
    Image image{};
    ASSERT_EQ(EncodeBlockImage(image, text, kUser), BlockStatus::kOk);
    std::vector<uint8_t> payload(image.begin() + 16, image.end());
    ASSERT_TRUE(UnscramblePayload(payload.data(), payload.size(), kUser));
    const std::string expected = "<a>\xD6\xD0\xCE\xC4</a>";
    EXPECT_EQ(std::string(payload.begin(), payload.begin() + expected.size()), expected);
    EXPECT_EQ(LoadBlockHeader(std::span<const uint8_t, 16>(image.data(), 16)).documentLength,
              expected.size());
}

TEST(ExchangeBlockImage, TheTextMayFillThePayloadRegionExactly) {
    struct Case {
        std::u16string text;
        BlockStatus status;
    };
    const std::u16string wide(4096, u'\u4e2d');  // two bytes each in code page 936
    const Case cases[] = {
        {std::u16string(8192, u'x'), BlockStatus::kOk},
        {std::u16string(8193, u'x'), BlockStatus::kDocumentTooLong},
        {wide, BlockStatus::kOk},
        {wide + u"x", BlockStatus::kDocumentTooLong},
        {u"", BlockStatus::kOk},
        // lengths around the 8-byte blocks the reader unscrambles
        {u"x", BlockStatus::kOk},
        {std::u16string(7, u'x'), BlockStatus::kOk},
        {std::u16string(8, u'x'), BlockStatus::kOk},
        {std::u16string(9, u'x'), BlockStatus::kOk},
        {u"abcdefg\u4e2d", BlockStatus::kOk},  // a double-byte character across two blocks
        {std::u16string(8191, u'x'), BlockStatus::kOk},
    };
    for (const Case& c : cases) {
        Image image{};
        ASSERT_EQ(EncodeBlockImage(image, c.text, kUser), c.status) << c.text.size();
        if (c.status != BlockStatus::kOk) continue;
        std::u16string back = u"?";
        ASSERT_EQ(DecodeBlockImage(image, kUser, &back), BlockStatus::kOk);
        EXPECT_EQ(back, c.text);
    }
}

TEST(ExchangeBlockImage, HeadersAreCheckedAgainstTheImage) {
    struct Case {
        BlockHeader header;
        size_t imageSize;
        BlockStatus status;
        std::u16string text;  // expected on success
    };
    const std::string plain = "hello\0ignored";
    const Case cases[] = {
        {{16, 8192, 5, 0}, 8208, BlockStatus::kOk, u"hello"},
        {{32, 64, 5, 7}, 8208, BlockStatus::kOk, u"hello"},     // foreign values honoured
        {{16, 8192, 13, 0}, 8208, BlockStatus::kOk, u"hello"},  // cut at the first zero
        {{16, 8192, 3, 0}, 8208, BlockStatus::kOk, u"hel"},
        {{16, 8192, 0, 0}, 8208, BlockStatus::kOk, u""},
        {{16, 0, 0, 0}, 16, BlockStatus::kOk, u""},
        {{16, 8190, 5, 0}, 8208, BlockStatus::kBadHeader, u""},  // not a multiple of 8
        {{16, 8192, 8193, 0}, 8208, BlockStatus::kBadHeader, u""},
        {{16, 8200, 5, 0}, 8208, BlockStatus::kBadHeader, u""},  // beyond the block
        {{24, 8192, 5, 0}, 8208, BlockStatus::kBadHeader, u""},
        {{0xFFFFFFF8u, 16, 5, 0}, 8208, BlockStatus::kBadHeader, u""},
        {{16, 0xFFFFFFF8u, 5, 0}, 8208, BlockStatus::kBadHeader, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.header.headerSize << "/" << c.header.capacity << "/"
                                        << c.header.documentLength);
        std::vector<uint8_t> image(c.imageSize, 0);
        if (c.status == BlockStatus::kOk) {
            image = ForeignImage(c.header, plain, c.imageSize, kUser);
        } else {
            StoreBlockHeader(c.header, std::span<uint8_t, 16>(image.data(), 16));
        }
        std::u16string text = u"untouched";
        ASSERT_EQ(DecodeBlockImage(image, kUser, &text), c.status);
        EXPECT_EQ(text, c.status == BlockStatus::kOk ? c.text : u"untouched");
    }
    std::u16string text;
    EXPECT_EQ(DecodeBlockImage(std::vector<uint8_t>(15, 0), kUser, &text), BlockStatus::kTooSmall);
}

TEST(ExchangeBlockNames, BadNamesFailCleanly) {
    BlockStatus status;
    EXPECT_FALSE(ExchangeBlock::Create(u"", &status));
    EXPECT_EQ(status, BlockStatus::kInvalidName);
    std::u16string text;
    EXPECT_EQ(ReadBlockDocument(MakeUserBlockName(u"cn/no\u7528such"), kUser, &text),
              BlockStatus::kNotFound);
}

TEST(ExchangeBlockNames, UserBlocksWithSlashesAndNonAsciiIdsWork) {
    const std::u16string id = u"cnalichn/\u7528\u6237";
    const std::u16string name = MakeUserBlockName(id);
    auto block = ExchangeBlock::Create(name);
    ASSERT_TRUE(block);
    ASSERT_EQ(WriteBlockDocument(*block, u"<user/>", id), BlockStatus::kOk);
    std::u16string text;
    ASSERT_EQ(ReadBlockDocument(name, id, &text), BlockStatus::kOk);
    EXPECT_EQ(text, u"<user/>");
}

}  // namespace
}  // namespace corvo::control
