#include "tools/corvo-sso-host/native_message_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

namespace corvo::host {
namespace {

std::string Prefix(uint32_t length) {
    std::string bytes(sizeof length, '\0');
    std::memcpy(bytes.data(), &length, sizeof length);
    return bytes;
}

std::string Framed(const std::string& body) {
    return Prefix(static_cast<uint32_t>(body.size())) + body;
}

struct FrameCase {
    const char* name;
    std::string input;
    uint32_t cap;
    std::vector<FrameStatus> statuses;  // of successive reads
    std::vector<std::string> bodies;    // of the kMessage reads, in order
};

TEST(NativeMessageStream, ReadsFramesAndReportsEveryEnding) {
    const std::vector<FrameCase> cases = {
        {"empty input", "", 64, {FrameStatus::kEnd}, {}},
        {"one message", Framed("{}"), 64, {FrameStatus::kMessage, FrameStatus::kEnd}, {"{}"}},
        {"empty body", Framed(""), 64, {FrameStatus::kMessage, FrameStatus::kEnd}, {""}},
        {"one byte of prefix", std::string(1, '\x05'), 64, {FrameStatus::kTruncated}, {}},
        {"three bytes of prefix", std::string(3, '\x01'), 64, {FrameStatus::kTruncated}, {}},
        {"short body", Prefix(10) + "abc", 64, {FrameStatus::kTruncated}, {}},
        {"second message cut",
         Framed("a") + Prefix(4) + "xy",
         64,
         {FrameStatus::kMessage, FrameStatus::kTruncated},
         {"a"}},
        {"exactly the cap",
         Framed(std::string(8, 'x')),
         8,
         {FrameStatus::kMessage, FrameStatus::kEnd},
         {std::string(8, 'x')}},
        {"over the cap, then one that fits",
         Framed(std::string(9, 'x')) + Framed("ok"),
         8,
         {FrameStatus::kTooLarge, FrameStatus::kMessage, FrameStatus::kEnd},
         {"ok"}},
        {"over the cap and cut",
         Prefix(5000) + std::string(4000, 'x'),
         8,
         {FrameStatus::kTruncated},
         {}},
        {"huge announced length",
         Prefix(0xFFFFFFFFu),
         kMaxRequestBytes,
         {FrameStatus::kTruncated},
         {}},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::istringstream in(c.input);
        std::vector<std::string> bodies;
        for (FrameStatus expected : c.statuses) {
            const Frame frame = ReadNativeMessage(in, c.cap);
            ASSERT_EQ(frame.status, expected);
            if (frame.status == FrameStatus::kMessage) bodies.push_back(frame.body);
        }
        EXPECT_EQ(bodies, c.bodies);
    }
}

TEST(NativeMessageStream, TooLargeReportsTheAnnouncedLength) {
    std::istringstream in(Framed(std::string(kMaxRequestBytes + 1, 'x')));
    const Frame frame = ReadNativeMessage(in);
    EXPECT_EQ(frame.status, FrameStatus::kTooLarge);
    EXPECT_EQ(frame.length, kMaxRequestBytes + 1);
    EXPECT_TRUE(frame.body.empty());
}

// Any sequence of bodies, written and read back, comes out the same; bodies
// over the cap are dropped without losing the ones after them.
TEST(NativeMessageStream, RandomSequencesRoundTrip) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 200; ++round) {
        const uint32_t cap = 1 + rng() % 300;
        std::ostringstream out;
        std::vector<std::string> sent;
        const int count = rng() % 8;
        for (int i = 0; i < count; ++i) {
            std::string body(rng() % 400, '\0');
            for (char& c : body) c = static_cast<char>(rng());
            ASSERT_TRUE(WriteNativeMessage(out, body));
            sent.push_back(body);
        }
        std::istringstream in(out.str());
        for (const std::string& body : sent) {
            const Frame frame = ReadNativeMessage(in, cap);
            if (body.size() > cap) {
                ASSERT_EQ(frame.status, FrameStatus::kTooLarge);
            } else {
                ASSERT_EQ(frame.status, FrameStatus::kMessage);
                ASSERT_EQ(frame.body, body);
            }
        }
        EXPECT_EQ(ReadNativeMessage(in, cap).status, FrameStatus::kEnd);
    }
}

}  // namespace
}  // namespace corvo::host
