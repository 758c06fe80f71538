#include "platform/posix/shared_memory_name.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <random>

namespace corvo::platform {
namespace {

TEST(SharedMemoryName, EscapesWhatPosixNamesCannotHold) {
    struct Case {
        std::u16string name;
        const char* object;
    };
    const Case cases[] = {
        {u"{926732A3-3744-4276-8586-E157C08E1F5D}", "/{926732A3-3744-4276-8586-E157C08E1F5D}"},
        {u"{2ED4D0E1-006A-46f4-8089-8E846CF16DF2}cn/a b%c",
         "/{2ED4D0E1-006A-46f4-8089-8E846CF16DF2}cn%2Fa%20b%25c"},
        {u"\u7528", "/%E7%94%A8"},
        {u"\U0001F600~", "/%F0%9F%98%80~"},
        {u"tab\there", "/tab%09here"},
        {u"...", "/..."},
        {std::u16string(u"a\0b", 3), "/a%00b"},
    };
    for (const Case& c : cases) {
        const auto object = SharedMemoryObjectName(c.name);
        ASSERT_TRUE(object) << c.object;
        EXPECT_EQ(*object, c.object);
        EXPECT_EQ(BlockNameFromObjectName(*object), c.name) << c.object;
    }
}

TEST(SharedMemoryName, RefusesNamesWithoutAnObjectName) {
    for (const std::u16string& name :
         {std::u16string(), std::u16string(u"."), std::u16string(u".."),
          std::u16string(u"a\xD800"
                         u"b")}) {
        errno = 0;
        EXPECT_FALSE(SharedMemoryObjectName(name));
        EXPECT_EQ(errno, EINVAL);
    }
}

TEST(SharedMemoryName, NameMaxBoundsTheEscapedForm) {
    EXPECT_TRUE(SharedMemoryObjectName(std::u16string(NAME_MAX, u'a')));
    errno = 0;
    EXPECT_FALSE(SharedMemoryObjectName(std::u16string(NAME_MAX + 1, u'a')));
    EXPECT_EQ(errno, ENAMETOOLONG);
    // 85 slashes escape to 255 bytes; one more does not fit.
    EXPECT_TRUE(SharedMemoryObjectName(std::u16string(85, u'/')));
    EXPECT_FALSE(SharedMemoryObjectName(std::u16string(86, u'/')));
}

TEST(SharedMemoryName, InverseRefusesTextsTheMappingNeverProduces) {
    for (const char* text : {"", "/", "x", "/a/b", "/a%2", "/a%2f", "/%41", "/%zz", "/a b", "/%FF",
                             "/%2E", "/%2E%2E", "/\x80"}) {
        EXPECT_FALSE(BlockNameFromObjectName(text)) << text;
    }
}

TEST(SharedMemoryName, RoundTripsRandomNames) {
    std::mt19937 rng(3);
    for (int i = 0; i < 2000; ++i) {
        std::u16string name(1 + rng() % 40, u'a');
        for (auto& c : name) {
            do c = char16_t(rng() % 0x10000);
            while (c >= 0xD800 && c <= 0xDFFF);
        }
        if (name == u"." || name == u"..") continue;
        const auto object = SharedMemoryObjectName(name);
        if (!object) {
            ASSERT_EQ(errno, ENAMETOOLONG);
            continue;
        }
        ASSERT_LE(object->size(), size_t(NAME_MAX) + 1);
        ASSERT_EQ(BlockNameFromObjectName(*object), name);
    }
}

}  // namespace
}  // namespace corvo::platform
