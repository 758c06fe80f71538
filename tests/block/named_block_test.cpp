// The exchange block and its completion event as named system objects, through
// the neutral platform headers only, so the same cases run on every system:
// a block written by one holder is read by name and answered through another,
// the name goes with its creator, a live name cannot be created twice, a
// read-only holder cannot write, and the auto-reset event releases one wait.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "control/exchange_block.h"
#include "control/exchange_name.h"
#include "platform/named_event.h"
#include "platform/shared_memory.h"

namespace corvo::control {
namespace {

using platform::NamedEvent;
using platform::SharedMemory;

const std::u16string kUser = u"cnalichnuser01";

TEST(NamedExchangeBlock, WrittenReadAnsweredAndGoneWithItsCreator) {
    const std::u16string name = MakeExchangeName();
    const std::u16string request =
        u"<SSO_XML_NAME>\r\n\t<fulluserid>x</fulluserid>\r\n</SSO_XML_NAME>";
    {
        BlockStatus status = BlockStatus::kOk;
        std::optional<ExchangeBlock> block = ExchangeBlock::Create(name, &status);
        ASSERT_TRUE(block) << BlockStatusText(status);
        // At least the block; Windows rounds a view up to whole pages.
        ASSERT_TRUE(block->memory().Size());
        EXPECT_GE(*block->memory().Size(), kBlockSize);
        ASSERT_EQ(WriteBlockDocument(*block, request, kUser), BlockStatus::kOk);

        std::u16string text;
        ASSERT_EQ(ReadBlockDocument(name, kUser, &text), BlockStatus::kOk);
        EXPECT_EQ(text, request);
        // Another user's key reads something else, never the document.
        std::u16string other;
        const BlockStatus wrong = ReadBlockDocument(name, u"cnotheruser", &other);
        EXPECT_TRUE(wrong != BlockStatus::kOk || other != request);

        std::optional<ExchangeBlock> peer =
            ExchangeBlock::Open(name, SharedMemory::Access::kReadWrite);
        ASSERT_TRUE(peer);
        ASSERT_EQ(WriteBlockDocument(*peer, u"answer \u4e2d\u6587", kUser), BlockStatus::kOk);
        ASSERT_EQ(ReadBlockDocument(*block, kUser, &text), BlockStatus::kOk);
        EXPECT_EQ(text, u"answer \u4e2d\u6587");
    }
    std::u16string text = u"untouched";
    EXPECT_EQ(ReadBlockDocument(name, kUser, &text), BlockStatus::kNotFound);
    EXPECT_EQ(text, u"untouched");
}

// Creating a live name again: on POSIX the creation fails (docs/ipc.md); on
// Windows CreateFileMappingW hands over the existing section, used unchanged.
// Either way the live block keeps its document.
TEST(NamedExchangeBlock, CreatingALiveNameAgainFailsAndLeavesItsDocument) {
    const std::u16string name = MakeExchangeName();
    std::optional<ExchangeBlock> first = ExchangeBlock::Create(name);
    ASSERT_TRUE(first);
    ASSERT_EQ(WriteBlockDocument(*first, u"first", kUser), BlockStatus::kOk);
    BlockStatus status = BlockStatus::kOk;
    std::optional<ExchangeBlock> second = ExchangeBlock::Create(name, &status);
    // A live name is never shared: the second creation fails on every system.
    EXPECT_FALSE(second);
    EXPECT_EQ(status, BlockStatus::kSystemError);
    std::u16string text;
    ASSERT_EQ(ReadBlockDocument(*first, kUser, &text), BlockStatus::kOk);
    EXPECT_EQ(text, u"first");
}

TEST(NamedExchangeBlock, AReadOnlyHolderCannotWrite) {
    const std::u16string name = MakeExchangeName();
    std::optional<ExchangeBlock> block = ExchangeBlock::Create(name);
    ASSERT_TRUE(block);
    ASSERT_EQ(WriteBlockDocument(*block, u"kept", kUser), BlockStatus::kOk);
    std::optional<ExchangeBlock> reader =
        ExchangeBlock::Open(name, SharedMemory::Access::kReadOnly);
    ASSERT_TRUE(reader);
    EXPECT_NE(WriteBlockDocument(*reader, u"overwritten", kUser), BlockStatus::kOk);
    std::array<uint8_t, 4> bytes{1, 2, 3, 4};
    EXPECT_FALSE(reader->memory().WriteAt(0, bytes));
    std::u16string text;
    ASSERT_EQ(ReadBlockDocument(*reader, kUser, &text), BlockStatus::kOk);
    EXPECT_EQ(text, u"kept");
}

TEST(NamedExchangeBlock, MissingNamesAreNotFound) {
    const std::u16string name = MakeExchangeName();
    BlockStatus status = BlockStatus::kOk;
    EXPECT_FALSE(ExchangeBlock::Open(name, SharedMemory::Access::kReadOnly, &status));
    EXPECT_EQ(status, BlockStatus::kNotFound);
    EXPECT_FALSE(SharedMemory::Open(name, SharedMemory::Access::kReadWrite));
    EXPECT_FALSE(NamedEvent::Open(name + u"_event"));
}

TEST(NamedCompletionEvent, OneSetReleasesOneWaitAndOpenersShareIt) {
    const std::u16string name = MakeExchangeName() + u"_event";
    std::optional<NamedEvent> event = NamedEvent::Create(name);
    ASSERT_TRUE(event);
    EXPECT_TRUE(event->created());
    std::optional<NamedEvent> peer = NamedEvent::Open(name);
    ASSERT_TRUE(peer);

    EXPECT_EQ(event->Wait(0), NamedEvent::WaitResult::kTimedOut);  // starts not signalled
    EXPECT_EQ(event->Wait(20), NamedEvent::WaitResult::kTimedOut);
    ASSERT_TRUE(peer->Set());
    EXPECT_EQ(event->Wait(1000), NamedEvent::WaitResult::kSignaled);
    EXPECT_EQ(event->Wait(0), NamedEvent::WaitResult::kTimedOut);  // consumed
    // Sets before a wait release that one wait only.
    ASSERT_TRUE(peer->Set());
    ASSERT_TRUE(peer->Set());
    EXPECT_EQ(event->Wait(1000), NamedEvent::WaitResult::kSignaled);
    EXPECT_EQ(event->Wait(0), NamedEvent::WaitResult::kTimedOut);
    // Creating a live name again joins the same event.
    std::optional<NamedEvent> again = NamedEvent::Create(name);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->created());
}

}  // namespace
}  // namespace corvo::control
