// CopyShort and EqualShort against memcpy and memcmp for every length up to
// past the longest copied in steps, at every offset where the runs may differ.
#include "xparam/short_copy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace xparam {
namespace {

TEST(ShortCopy, CopiesExactlyTheBytesAskedFor) {
    std::mt19937 random(5);
    for (std::size_t n = 0; n <= 300; ++n) {
        SCOPED_TRACE(n);
        std::vector<char> from(n + 2), to(n + 2, '#');
        for (char& c : from) c = static_cast<char>(random());
        CopyShort(to.data() + 1, from.data() + 1, n);
        EXPECT_EQ(to.front(), '#');
        EXPECT_EQ(to.back(), '#');
        EXPECT_EQ(std::memcmp(to.data() + 1, from.data() + 1, n), 0);
    }
}

TEST(ShortCopy, EqualShortAgreesWithMemcmp) {
    std::mt19937 random(11);
    for (std::size_t n = 0; n <= 300; ++n) {
        SCOPED_TRACE(n);
        // Bytes past the runs differ, so a compare reading beyond n fails.
        std::vector<char> a(n + 8), b(n + 8);
        for (std::size_t k = 0; k < n; ++k) a[k] = b[k] = static_cast<char>(random());
        for (std::size_t k = n; k < n + 8; ++k) {
            a[k] = 'x';
            b[k] = 'y';
        }
        EXPECT_TRUE(EqualShort(a.data(), b.data(), n));
        for (std::size_t at = 0; at < n; ++at) {
            SCOPED_TRACE(at);
            for (const char flip : {char(1), char(0x80)}) {
                b[at] = static_cast<char>(b[at] ^ flip);
                EXPECT_FALSE(EqualShort(a.data(), b.data(), n));
                b[at] = a[at];
            }
        }
    }
}

}  // namespace
}  // namespace xparam
