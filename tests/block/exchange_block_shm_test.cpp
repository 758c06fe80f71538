// The exchange block as POSIX shared memory: the object's file in the
// directory of exchange objects, and a peer truncating it under a reader.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <string>

#include "control/exchange_block.h"
#include "control/exchange_name.h"
#include "platform/posix/exchange_object_directory.h"
#include "platform/posix/shared_memory_name.h"

namespace corvo::control {
namespace {

using platform::SharedMemory;

const std::u16string kUser = u"cnalichnuser01";

// A block that exists only for one test, with a fresh name.
class ExchangeBlockShm : public testing::Test {
  protected:
    std::u16string name_ = MakeExchangeName();
    std::string path_ =
        platform::ExchangeObjectDirectoryPath() + "/" + *platform::ExchangeObjectFileName(name_);
};

TEST_F(ExchangeBlockShm, WriteThenReadByNameAndNothingIsLeftBehind) {
    const std::u16string text =
        u"<SSO_XML_NAME>\r\n\t<fulluserid>x</fulluserid>\r\n</SSO_XML_NAME>";
    {
        BlockStatus status;
        auto block = ExchangeBlock::Create(name_, &status);
        ASSERT_TRUE(block) << BlockStatusText(status);
        EXPECT_TRUE(std::filesystem::exists(path_));
        EXPECT_EQ(block->memory().Size(), kBlockSize);
        ASSERT_EQ(WriteBlockDocument(*block, text, kUser), BlockStatus::kOk);

        std::u16string back;
        ASSERT_EQ(ReadBlockDocument(name_, kUser, &back), BlockStatus::kOk);
        EXPECT_EQ(back, text);

        // The peer answers in the same block through its own handle.
        auto peer = ExchangeBlock::Open(name_, SharedMemory::Access::kReadWrite);
        ASSERT_TRUE(peer);
        ASSERT_EQ(WriteBlockDocument(*peer, u"answer", kUser), BlockStatus::kOk);
        ASSERT_EQ(ReadBlockDocument(*block, kUser, &back), BlockStatus::kOk);
        EXPECT_EQ(back, u"answer");
    }
    EXPECT_FALSE(std::filesystem::exists(path_));
    std::u16string text2;
    EXPECT_EQ(ReadBlockDocument(name_, kUser, &text2), BlockStatus::kNotFound);
}

TEST_F(ExchangeBlockShm, ALiveBlockOfTheNameFailsCreationAndIsLeftAlone) {
    auto first = SharedMemory::Create(name_, 2 * kBlockSize);
    ASSERT_TRUE(first);
    BlockStatus status;
    errno = 0;
    EXPECT_FALSE(ExchangeBlock::Create(name_, &status));
    EXPECT_EQ(status, BlockStatus::kSystemError);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(first->Size(), 2 * kBlockSize);
    EXPECT_TRUE(std::filesystem::exists(path_));
}

TEST_F(ExchangeBlockShm, APeerShrinkingTheBlockFailsTheReadCleanly) {
    auto block = ExchangeBlock::Create(name_);
    ASSERT_TRUE(block);
    ASSERT_EQ(WriteBlockDocument(*block, u"document", kUser), BlockStatus::kOk);
    auto reader = SharedMemory::Open(name_, SharedMemory::Access::kReadOnly);
    ASSERT_TRUE(reader);

    struct Step {
        off_t size;
        BlockStatus status;
    };
    for (const Step& s : {Step{4096, BlockStatus::kBadHeader}, Step{8, BlockStatus::kTooSmall},
                          Step{0, BlockStatus::kTooSmall}}) {
        ASSERT_EQ(ftruncate(block->memory().fd(), s.size), 0);
        std::u16string text = u"untouched";
        EXPECT_EQ(ReadBlockDocument(*reader, kUser, &text), s.status) << s.size;
        EXPECT_EQ(text, u"untouched");
        EXPECT_EQ(WriteBlockDocument(*block, u"x", kUser), BlockStatus::kTooSmall);
    }
    // Reading through the descriptor past the end reports an error, no signal.
    std::array<uint8_t, 16> bytes;
    EXPECT_FALSE(reader->ReadAt(0, bytes));
    EXPECT_FALSE(reader->Map(16));
    EXPECT_FALSE(block->memory().WriteAt(0, bytes));  // writing never regrows it
}

TEST_F(ExchangeBlockShm, APeerGrowingTheBlockCannotMakeTheReaderReadMore) {
    auto block = ExchangeBlock::Create(name_);
    ASSERT_TRUE(block);
    ASSERT_EQ(WriteBlockDocument(*block, u"document", kUser), BlockStatus::kOk);
    ASSERT_EQ(ftruncate(block->memory().fd(), 1 << 20), 0);
    std::u16string text;
    EXPECT_EQ(ReadBlockDocument(name_, kUser, &text), BlockStatus::kOk);
    EXPECT_EQ(text, u"document");
    // A header that claims the grown object: read neither in part nor whole.
    for (const uint32_t capacity : {uint32_t(kBlockCapacity + 8), uint32_t((1 << 20) - 16)}) {
        std::array<uint8_t, kBlockHeaderSize> header;
        StoreBlockHeader({kBlockHeaderSize, capacity, capacity, 0}, header);
        ASSERT_TRUE(block->memory().WriteAt(0, header));
        text = u"untouched";
        EXPECT_EQ(ReadBlockDocument(name_, kUser, &text), BlockStatus::kBadHeader) << capacity;
        EXPECT_EQ(text, u"untouched");
    }
}

// A name longer than the system's file names cannot be an object file.
TEST(ExchangeBlockShmNames, OverlongNamesFailCleanly) {
    BlockStatus status;
    EXPECT_FALSE(ExchangeBlock::Create(MakeUserBlockName(std::u16string(300, u'u')), &status));
    EXPECT_EQ(status, BlockStatus::kInvalidName);
}

}  // namespace
}  // namespace corvo::control
