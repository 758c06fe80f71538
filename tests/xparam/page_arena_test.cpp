// The reader's page memory: a page lives exactly as long as one of its blocks
// does (whichever thread releases it, batched or not), and trees built by the
// reader in pages keep every held node valid and complete after the rest of
// the tree is gone.
#include "xparam/page_arena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"
#include "xparam/xparam_parser.h"

namespace xparam::test {
namespace {

// Page bytes of this process beyond what was allocated when it was created.
class PageBytesWatch {
  public:
    std::ptrdiff_t Held() const {
        return static_cast<std::ptrdiff_t>(PageArena::PageBytes()) - baseline_;
    }

  private:
    std::ptrdiff_t baseline_ = static_cast<std::ptrdiff_t>(PageArena::PageBytes());
};

struct ReleaseCase {
    const char* name;
    int blocks;
    std::size_t blockBytes;
    bool batched;
    bool otherThread;
};
constexpr ReleaseCase kReleaseCases[] = {
    {"few small", 10, 24, false, false},
    {"many pages", 5000, 72, false, false},
    {"many pages batched", 5000, 72, true, false},
    {"largest placed", 100, PageArena::kMaxPlaced, true, false},
    {"other thread", 3000, 40, false, true},
    {"other thread batched", 3000, 40, true, true},
};

TEST(PageArena, APageLivesUntilItsLastBlockIsReleased) {
    for (const ReleaseCase& c : kReleaseCases) {
        SCOPED_TRACE(c.name);
        PageBytesWatch watch;
        std::vector<void*> blocks;
        {
            PageArena arena;
            for (int k = 0; k < c.blocks; ++k) {
                auto* block = static_cast<unsigned char*>(arena.Place(c.blockBytes));
                ASSERT_NE(block, nullptr);
                ASSERT_EQ(reinterpret_cast<uintptr_t>(block) % 8, 0u);
                std::fill(block, block + c.blockBytes, static_cast<unsigned char>(k));
                blocks.push_back(block);
            }
            // Releases while the arena still places into its page.
            PageArena::Release(blocks.back());
            blocks.pop_back();
        }
        EXPECT_GT(watch.Held(), 0);
        std::shuffle(blocks.begin(), blocks.end(), std::mt19937(7));
        // Every block keeps its contents until it is released itself.
        auto release = [&] {
            for (std::size_t k = 0; k < blocks.size(); ++k) {
                if (c.batched && k % 100 == 0) {
                    PageArena::ReleaseBatch batch;
                    for (; k < blocks.size() && k % 100 != 99; ++k) PageArena::Release(blocks[k]);
                    if (k < blocks.size()) PageArena::Release(blocks[k]);
                } else {
                    PageArena::Release(blocks[k]);
                }
            }
        };
        if (c.otherThread) {
            std::thread(release).join();
        } else {
            release();
        }
        EXPECT_EQ(watch.Held(), 0);
    }
}

TEST(PageArena, OversizedBlocksAreNotPlaced) {
    PageArena arena;
    EXPECT_EQ(arena.Place(PageArena::kMaxPlaced + 1), nullptr);
    void* block = arena.Place(PageArena::kMaxPlaced);
    ASSERT_NE(block, nullptr);
    PageArena::Release(block);
}

TEST(PageArena, ArenaStringsGrowOutOfTheirPage) {
    PageBytesWatch watch;
    WideString grown, reassigned, swapped;
    {
        PageArena arena;
        grown.AssignInArena(arena, u"abc", 3);
        reassigned.AssignInArena(arena, u"0123456789", 10);
        WideString source;
        source.AssignInArena(arena, u"moved", 5);
        swapped.Swap(source);
    }
    EXPECT_GT(watch.Held(), 0);
    for (int k = 0; k < 100; ++k) grown.Append(u'x');
    EXPECT_EQ(grown.Length(), 103u);
    EXPECT_EQ(grown.View().substr(0, 4), u"abcx");
    reassigned.Assign(u"short", 5);  // fits: stays in its page block
    EXPECT_EQ(reassigned.View(), u"short");
    EXPECT_EQ(swapped.View(), u"moved");
    EXPECT_GT(watch.Held(), 0);
    reassigned.Clear();
    swapped.Clear();
    EXPECT_EQ(watch.Held(), 0);
    EXPECT_EQ(grown.Length(), 103u);
}

// A document of `count` elements in random nesting, with attributes, text
// (some with references and line breaks, so both reader paths run) and CDATA.
std::string RandomDocument(int count, uint32_t seed) {
    std::mt19937 random(seed);
    std::string out = "<root>";
    std::vector<std::string> open{"root"};
    for (int k = 0; k < count; ++k) {
        while (open.size() > 1 && random() % 3 == 0) {
            out += "</" + open.back() + ">";
            open.pop_back();
        }
        const std::string name = "e" + std::to_string(random() % 7);
        out += "<" + name;
        for (uint32_t a = random() % 3; a > 0; --a) {
            out += " a" + std::to_string(a) + (random() % 4 ? "=\"v" : "=\"x&amp;\r\ny");
            out += std::to_string(k) + "\"";
        }
        switch (random() % 4) {
            case 0:
                out += "/>";
                continue;
            case 1:
                out += "> text " + std::to_string(k) + " &lt;\r\n more";
                break;
            case 2:
                out += "><![CDATA[<" + std::to_string(k) + ">]]>";
                break;
            default:
                out += ">";
                break;
        }
        open.push_back(name);
    }
    while (!open.empty()) {
        out += "</" + open.back() + ">";
        open.pop_back();
    }
    return out;
}

std::vector<XParamImpl*> InDocumentOrder(XParamImpl* root) {
    std::vector<XParamImpl*> nodes;
    std::vector<XParamImpl*> work{root};
    while (!work.empty()) {
        XParamImpl* n = work.back();
        work.pop_back();
        nodes.push_back(n);
        for (XParamImpl* c = n->LastChildNode(); c; c = c->PrevSiblingNode()) work.push_back(c);
    }
    return nodes;
}

TEST(PageArena, HeldNodesOfAReadTreeStayValidAndComplete) {
    PageBytesWatch watch;
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        const std::string doc = RandomDocument(2000, seed);
        std::vector<XParamRef> held, copies;
        {
            XParamParserRef parser = XParamParserRef::Adopt(CreateXParamParser());
            ASSERT_TRUE(parser->ParseBytes(reinterpret_cast<const uint8_t*>(doc.data()),
                                           static_cast<int32_t>(doc.size())));
            XParamRef root = XParamRef::Adopt(parser->DetachRoot());
            std::mt19937 random(seed);
            for (XParamImpl* node : InDocumentOrder(XParamImpl::From(root.Get()))) {
                if (random() % 10) continue;
                held.emplace_back(node);
                copies.push_back(XParamRef::Adopt(node->Clone()));
            }
            // A second document read into the same pages' successors.
            ASSERT_TRUE(parser->ParseBytes(reinterpret_cast<const uint8_t*>(doc.data()),
                                           static_cast<int32_t>(doc.size())));
        }
        // The tree, the parser and its arena are gone; the held nodes remain.
        for (std::size_t k = 0; k < held.size(); ++k) {
            ASSERT_TRUE(
                SameTree(XParamImpl::From(held[k].Get()), XParamImpl::From(copies[k].Get())));
        }
        // Changing a held node's name and text moves them out of their page.
        if (!held.empty()) {
            held[0]->SetName(u"renamed-to-a-longer-name-than-before", -1);
            held[0]->SetValue(u"a new text value", -1);
            EXPECT_EQ(NameOf(held[0].Get()), u"renamed-to-a-longer-name-than-before");
        }
        std::shuffle(held.begin(), held.end(), std::mt19937(seed));
        // Half released here, half on another thread.
        std::vector<XParamRef> other(held.begin() + static_cast<std::ptrdiff_t>(held.size() / 2),
                                     held.end());
        held.resize(held.size() / 2);
        std::thread([&other] { other.clear(); }).join();
        held.clear();
        copies.clear();
    }
    EXPECT_EQ(watch.Held(), 0);
}

// Placed nodes given values that own something (a shared object, bytes, a
// long text, a long name) hand it back when the tree goes.
TEST(PageArena, ValuesSetOnPlacedNodesAreReleasedWithTheTree) {
    PageBytesWatch watch;
    auto object = boost::shared_ptr<int>(new int(7));
    const std::string doc = RandomDocument(400, 3);
    {
        XParamParserRef parser = XParamParserRef::Adopt(CreateXParamParser());
        ASSERT_TRUE(parser->ParseBytes(reinterpret_cast<const uint8_t*>(doc.data()),
                                       static_cast<int32_t>(doc.size())));
        XParamRef root = XParamRef::Adopt(parser->DetachRoot());
        const std::vector<XParamImpl*> nodes = InDocumentOrder(XParamImpl::From(root.Get()));
        const unsigned char bytes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
        for (std::size_t k = 1; k < nodes.size(); ++k) {
            switch (k % 5) {
                case 0:
                    nodes[k]->SetValue(SharedHandle(object));
                    break;
                case 1:
                    nodes[k]->SetValue(bytes, static_cast<int>(sizeof bytes));
                    break;
                case 2:
                    nodes[k]->SetValue(u"a text too long for the block the reader gave", -1);
                    break;
                case 3:
                    nodes[k]->SetName(u"a-name-longer-than-any-the-document-has", -1);
                    break;
                case 4:
                    nodes[k]->SetValue(2.5);
                    break;
            }
        }
        EXPECT_GT(object.use_count(), 1);
    }
    EXPECT_EQ(object.use_count(), 1);
    EXPECT_EQ(watch.Held(), 0);
}

}  // namespace
}  // namespace xparam::test
