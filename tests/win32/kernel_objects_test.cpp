// File mappings and the thread locale as the Windows build uses them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cerrno>

#include "control/exchange_block.h"
#include "control/exchange_name.h"
#include "platform/shared_memory.h"
#include "platform/thread_locale.h"

namespace corvo::platform {
namespace {

// CreateFileMappingW opens a live mapping of the same name; creation fails
// here instead, as on POSIX, and the live mapping is untouched.
TEST(FileMapping, CreatingALiveNameFailsAndLeavesItIntact) {
    const std::u16string name = control::MakeExchangeName();
    auto first = SharedMemory::Create(name, 8208);
    ASSERT_TRUE(first);
    const uint8_t mark[] = {0x5a};
    ASSERT_TRUE(first->WriteAt(0, mark));
    errno = 0;
    EXPECT_FALSE(SharedMemory::Create(name, 8208));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_FALSE(control::ExchangeBlock::Create(name));
    auto opened = SharedMemory::Open(name, SharedMemory::Access::kReadOnly);
    ASSERT_TRUE(opened);
    uint8_t read[1] = {};
    ASSERT_TRUE(opened->ReadAt(0, read));
    EXPECT_EQ(read[0], 0x5a);
    // Once every handle is gone the name is free again.
    first.reset();
    opened.reset();
    EXPECT_TRUE(SharedMemory::Create(name, 8208));
}

TEST(ThreadLocale, SystemDefaultWithinTheScopeAndRestoredAfter) {
    const LCID original = ::GetThreadLocale();
    const LCID other = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);
    ASSERT_TRUE(::SetThreadLocale(other));
    {
        const ScopedSystemThreadLocale scope;
        EXPECT_EQ(::GetThreadLocale(), ::GetSystemDefaultLCID());
    }
    EXPECT_EQ(::GetThreadLocale(), other);
    ::SetThreadLocale(original);
}

}  // namespace
}  // namespace corvo::platform
