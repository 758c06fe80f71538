// The multi-byte UTF-8 writer encodes as it writes; its bytes must equal the
// UTF-16 form converted as a whole, on random trees full of non-ASCII text,
// surrogate pairs, lone surrogates and markup characters.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/xml/xml_test_support.h"
#include "xparam/text_codec.h"

namespace xparam::test {
namespace {

constexpr uint32_t kUtf8 = 65001;

class RandomTree {
  public:
    explicit RandomTree(uint32_t seed) : random_(seed) {}

    XParamRef Make(int maxNodes) {
        nodes_ = 0;
        maxNodes_ = maxNodes;
        XParamRef root = NewNode(Next(6) == 0 ? u"" : Piece(4));
        Fill(root.Get(), 0);
        return root;
    }

    std::string Layout(bool lineBreak) {
        static const char* const kIndents[] = {"", "\t", "  ", "\xc2\xa0", "\xe4\xb8\xad", "\xff"};
        static const char* const kBreaks[] = {"", "\r\n", "\n", "\xe2\x80\xa8", "\xc3"};
        return lineBreak ? kBreaks[Next(5)] : kIndents[Next(6)];
    }

  private:
    uint32_t Next(uint32_t bound) { return random_() % bound; }

    // Text from single units and short pieces, lone surrogates included.
    std::u16string Piece(uint32_t maxLength) {
        static const std::u16string_view kPieces[] = {
            u"a",      u"Z9",     u"&",      u"<",      u">",       u"\"",
            u"'",      u"]]>",    u"]]",     u"\x01",   u"\t",      u"\r\n",
            u" ",      u"\u00e9", u"\u4e2d", u"\u0800", u"\uffff",  u"\U0001F600",
            u"\xd800", u"\xdbff", u"\xdc00", u"\xdfff", u"x\xd83d", u"\xde00y"};
        std::u16string text;
        const uint32_t length = Next(maxLength + 1);
        for (uint32_t k = 0; k < length; ++k) text += kPieces[Next(std::size(kPieces))];
        return text;
    }

    // No value, an Int, a Bool or (most often) a String.
    void SetValue(XParam* node) {
        const uint32_t pick = Next(5);
        if (pick == 1) node->SetValue(static_cast<int>(Next(2000)) - 1000);
        if (pick == 2) node->SetValue(Next(2) == 1);
        if (pick < 3) return;
        const std::u16string text = Piece(10);
        node->SetValue(text.data(), static_cast<int>(text.size()));
    }

    void Fill(XParam* node, int depth) {
        ++nodes_;
        if (Next(4) == 0) node->SetNodeKind(NodeKind::CData);
        SetValue(node);
        if (depth >= 5) return;
        const uint32_t children = Next(6);
        for (uint32_t k = 0; k < children && nodes_ < maxNodes_; ++k) {
            const std::u16string name = Next(8) == 0 ? u"" : Piece(3);
            XParam* child = AddChild(node, name);
            if (Next(3) == 0) {
                ++nodes_;
                child->SetNodeKind(NodeKind::Attribute);
                SetValue(child);
            } else {
                Fill(child, depth + 1);
            }
        }
    }

    std::mt19937 random_;
    int nodes_ = 0;
    int maxNodes_ = 0;
};

std::u16string WideOf(const std::string& bytes) {
    WideString wide;
    ToWide(bytes.c_str(), -1, kUtf8, wide);
    return std::u16string(wide.View());
}

// The wide output converted in one piece by the code-page layer.
std::string ConvertedWide(XParamTraversal* t, XParam* root, const std::string& indent,
                          const std::string& lineBreak) {
    XInResSlot slot;
    int length = 0;
    const std::u16string wideIndent = WideOf(indent);
    const std::u16string wideBreak = WideOf(lineBreak);
    const char16_t* wide = t->ToXml(root, length, wideIndent.c_str(), wideBreak.c_str(), slot);
    if (length == 0) return {};
    const int32_t size = BytesFromWide(wide, static_cast<size_t>(length), kUtf8, nullptr, 0);
    std::string bytes(static_cast<size_t>(size), '\0');
    EXPECT_EQ(BytesFromWide(wide, static_cast<size_t>(length), kUtf8, bytes.data(), size), size);
    return bytes;
}

std::string DirectUtf8(XParamTraversal* t, XParam* root, const std::string& indent,
                       const std::string& lineBreak) {
    XInResSlot slot;
    int length = -1;
    const char* bytes = t->ToXml(root, length, indent.c_str(), lineBreak.c_str(), kUtf8, slot);
    EXPECT_EQ(bytes[length], '\0');
    return std::string(bytes, static_cast<size_t>(length));
}

TEST(XmlWriterUtf8, DirectOutputEqualsTheConvertedWideOutput) {
    XParamTraversalRef t = XParamTraversalRef::Adopt(CreateXParamTraversal());
    for (uint32_t seed = 1; seed <= 400; ++seed) {
        RandomTree random(seed);
        // Some trees large enough to grow the output buffer several times.
        XParamRef root = random.Make(seed % 50 == 0 ? 4000 : 60);
        const std::string indent = random.Layout(false);
        const std::string lineBreak = random.Layout(true);
        ASSERT_EQ(DirectUtf8(t.Get(), root.Get(), indent, lineBreak),
                  ConvertedWide(t.Get(), root.Get(), indent, lineBreak))
            << "seed " << seed << ": " << Dump(root.Get());
    }
}

TEST(XmlWriterUtf8, SurrogatesAndLayoutBytes) {
    struct Case {
        std::u16string_view text;
        const char* lineBreak;
        std::string expected;
    };
    const Case cases[] = {
        {u"\U0001F600", "", "<x>\xf0\x9f\x98\x80</x>"},
        {u"a\xd800", "", "<x>a\xef\xbf\xbd</x>"},     // lone high surrogate: U+FFFD
        {u"\xdc00<", "", "<x>\xef\xbf\xbd&lt;</x>"},  // lone low surrogate
        {u"\xd800\xd800\xdc00", "", "<x>\xef\xbf\xbd\xf0\x90\x80\x80</x>"},
        {u"\u4e2d", "\xff", "<x>\xe4\xb8\xad</x>\xef\xbf\xbd"},  // a bad layout byte: U+FFFD
    };
    XParamTraversalRef t = XParamTraversalRef::Adopt(CreateXParamTraversal());
    for (const Case& c : cases) {
        XParamRef root = NewNode(u"x");
        root->SetValue(c.text.data(), static_cast<int>(c.text.size()));
        EXPECT_EQ(DirectUtf8(t.Get(), root.Get(), "", c.lineBreak), c.expected) << Narrow(c.text);
    }
}

}  // namespace
}  // namespace xparam::test
