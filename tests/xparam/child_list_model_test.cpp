// Random sequences of child list operations checked step by step against a
// plain vector model, with every lookup answered identically with and without
// the name index, and the attributes the writer finds those of the model.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"
#include "xparam/xparam_traversal.h"

namespace xparam::test {
namespace {

const char16_t* const kNames[] = {u"a", u"b", u"c", u"ab", u""};
const NodeKind kKinds[] = {NodeKind::Element, NodeKind::Attribute, NodeKind::CData};

class ChildListModel {
  public:
    explicit ChildListModel(uint32_t seed) : rng_(seed), parent_(NewNode(u"root")) {}

    void Step() {
        int op = Pick(11);
        switch (op) {
            case 0:
                Insert(Fresh(), model_.size(), [&](XParam* c) { parent_->AppendChild(c); });
                break;
            case 1:
                Insert(Fresh(), 0, [&](XParam* c) { parent_->PrependChild(c); });
                break;
            case 2: {
                if (model_.empty()) break;
                std::size_t at = Pick(model_.size());
                XParam* ref = model_[at].Get();
                Insert(Fresh(), at, [&](XParam* c) { parent_->InsertBefore(ref, c); });
                break;
            }
            case 3: {
                if (model_.empty()) break;
                std::size_t at = Pick(model_.size());
                XParam* ref = model_[at].Get();
                Insert(Fresh(), at + 1, [&](XParam* c) { parent_->InsertAfter(ref, c); });
                break;
            }
            case 4:
            case 5: {
                if (model_.empty()) break;
                std::size_t at = Pick(model_.size());
                XParamRef child = model_[at];
                if (op == 4) {
                    parent_->RemoveChild(child.Get());
                } else {
                    child->Detach();
                }
                model_.erase(model_.begin() + static_cast<long>(at));
                EXPECT_EQ(child->GetParent(), nullptr);
                EXPECT_EQ(RefCountOf(child.Get()), 1);  // only our reference remains
                break;
            }
            case 6: {
                if (model_.empty()) break;
                model_[Pick(model_.size())]->SetName(RandomName(), -1);
                break;
            }
            case 7:
                if (parent_->HasNameIndex()) {
                    parent_->DropNameIndex();
                } else {
                    parent_->BuildNameIndex();
                }
                break;
            case 8: {
                // Inserting a node that belongs to another parent is ignored.
                if (model_.empty()) break;
                parent_->AppendChild(model_[Pick(model_.size())].Get());
                break;
            }
            case 9:
                if (Pick(20) == 0) {
                    parent_->RemoveAllChildren();
                    model_.clear();
                }
                break;
            case 10: {
                // Kinds change in place, also of a node held outside the list.
                if (model_.empty() || Pick(4) == 0) {
                    Fresh()->SetNodeKind(RandomKind());
                } else {
                    model_[Pick(model_.size())]->SetNodeKind(RandomKind());
                }
                break;
            }
        }
        Check();
    }

    void Check() {
        ASSERT_EQ(parent_->GetChildCount(), model_.size());
        // Forward and backward walks visit the model's order.
        std::size_t i = 0;
        for (XParamImpl* c = Impl()->FirstChildNode(); c; c = c->NextSiblingNode(), ++i) {
            ASSERT_LT(i, model_.size());
            ASSERT_EQ(c, model_[i].Get());
            ASSERT_EQ(c->ParentNode(), Impl());
        }
        ASSERT_EQ(i, model_.size());
        for (XParamImpl* c = Impl()->LastChildNode(); c; c = c->PrevSiblingNode()) {
            ASSERT_EQ(c, model_[--i].Get());
        }
        // Every attached child carries our reference plus its two link references.
        for (auto& c : model_) ASSERT_EQ(RefCountOf(c.Get()), 3);
        if (const NameIndex* index = Impl()->Index()) {
            ASSERT_EQ(index->Size(), model_.size());
        }
        CheckLookups();
        CheckAttributes();
    }

    // The start tag lists the attribute children in order, wherever they
    // stand among the elements.
    void CheckAttributes() {
        std::u16string expected = u"<root";
        uint32_t attributes = 0;
        for (auto& c : model_) {
            if (c->GetNodeKind() != NodeKind::Attribute) continue;
            ++attributes;
            expected += u" " + NameOf(c.Get()) + u"=\"\"";
        }
        ASSERT_EQ(Impl()->AttributeCount(), attributes);
        XParamTraversalRef t = XParamTraversalRef::Adopt(CreateXParamTraversal());
        XInResSlot slot;
        int length = -1;
        const char16_t* text = t->ToXml(parent_.Get(), length, u"", u"\n", slot);
        const std::u16string xml(text, static_cast<std::size_t>(length));
        ASSERT_EQ(xml.substr(0, expected.size()), expected);
        ASSERT_GT(xml.size(), expected.size());
        ASSERT_TRUE(xml[expected.size()] == u'>' || xml[expected.size()] == u'/');
    }

    void CheckLookups() {
        for (const char16_t* name : kNames) {
            std::vector<XParam*> matches;
            for (auto& c : model_) {
                if (NameOf(c.Get()) == name) matches.push_back(c.Get());
            }
            for (int n = -1; n <= static_cast<int>(matches.size()); ++n) {
                XParam* front =
                    n >= 0 && n < static_cast<int>(matches.size()) ? matches[n] : nullptr;
                XParam* back = n >= 0 && n < static_cast<int>(matches.size())
                                   ? matches[matches.size() - 1 - n]
                                   : nullptr;
                XParamRef first = XParamRef::Adopt(parent_->GetFirstChild(name, -1, n));
                XParamRef last = XParamRef::Adopt(parent_->GetLastChild(name, -1, n));
                ASSERT_EQ(first.Get(), front) << "n=" << n;
                ASSERT_EQ(last.Get(), back);
            }
            // Same-name neighbours agree with the model.
            for (std::size_t k = 0; k < matches.size(); ++k) {
                XParamRef next = XParamRef::Adopt(matches[k]->GetNextSameName());
                XParamRef prev = XParamRef::Adopt(matches[k]->GetPrevSameName());
                ASSERT_EQ(next.Get(), k + 1 < matches.size() ? matches[k + 1] : nullptr);
                ASSERT_EQ(prev.Get(), k > 0 ? matches[k - 1] : nullptr);
            }
        }
        XParamRef first = XParamRef::Adopt(parent_->GetFirstChild());
        XParamRef last = XParamRef::Adopt(parent_->GetLastChild());
        ASSERT_EQ(first.Get(), model_.empty() ? nullptr : model_.front().Get());
        ASSERT_EQ(last.Get(), model_.empty() ? nullptr : model_.back().Get());
    }

  private:
    std::size_t Pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
    }
    const char16_t* RandomName() { return kNames[Pick(std::size(kNames))]; }
    NodeKind RandomKind() { return kKinds[Pick(std::size(kKinds))]; }
    XParamRef Fresh() {
        XParamRef node = NewNode(RandomName());
        node->SetNodeKind(RandomKind());
        // Sometimes reuse a detached node that has children of its own.
        if (Pick(4) == 0) node->AppendChild(NewNode(u"grandchild").Get());
        return node;
    }
    template <class F>
    void Insert(XParamRef child, std::size_t at, F insert) {
        insert(child.Get());
        model_.insert(model_.begin() + static_cast<long>(at), child);
    }
    XParamImpl* Impl() { return XParamImpl::From(parent_.Get()); }

    std::mt19937 rng_;
    XParamRef parent_;
    std::vector<XParamRef> model_;
};

TEST(ChildListModel, RandomOperationSequencesMatchTheModel) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        ChildListModel model(seed);
        for (int step = 0; step < 400; ++step) {
            model.Step();
            if (::testing::Test::HasFatalFailure()) return;
        }
    }
}

TEST(ChildList, InsertionsAtTheEdgesMoveFirstAndLast) {
    XParamRef parent = NewNode(u"p");
    XParamRef a = NewNode(u"a"), b = NewNode(u"b"), c = NewNode(u"c"), d = NewNode(u"d");
    parent->AppendChild(a.Get());
    parent->InsertBefore(a.Get(), b.Get());  // b a
    parent->InsertAfter(a.Get(), c.Get());   // b a c
    parent->AppendChild(d.Get());            // b a c d
    XParamRef first = XParamRef::Adopt(parent->GetFirstChild());
    XParamRef last = XParamRef::Adopt(parent->GetLastChild());
    EXPECT_EQ(first, b);
    EXPECT_EQ(last, d);
    std::u16string order;
    for (XParamRef n = first; n; n = XParamRef::Adopt(n->GetNextSibling()))
        order += NameOf(n.Get());
    EXPECT_EQ(order, u"bacd");
}

TEST(ChildList, RefusedInsertionsLeaveBothTreesUnchanged) {
    XParamRef p1 = NewNode(u"p1"), p2 = NewNode(u"p2"), child = NewNode(u"c");
    XParamRef stranger = NewNode(u"s"), fresh = NewNode(u"f");
    p1->AppendChild(child.Get());
    p2->AppendChild(child.Get());                   // already has a parent
    p2->InsertBefore(stranger.Get(), fresh.Get());  // reference is not a child of p2
    p2->InsertAfter(stranger.Get(), fresh.Get());
    p1->AppendChild(nullptr);
    p1->AppendChild(p1.Get());  // itself
    EXPECT_EQ(p1->GetChildCount(), 1u);
    EXPECT_EQ(p2->GetChildCount(), 0u);
    EXPECT_EQ(fresh->GetParent(), nullptr);
    // A node may not become a child of its own descendant (a reference cycle).
    XParamRef grandchild = NewNode(u"g");
    child->AppendChild(grandchild.Get());
    grandchild->AppendChild(p1.Get());
    EXPECT_EQ(grandchild->GetChildCount(), 0u);
    EXPECT_EQ(p1->GetParent(), nullptr);
    // RemoveChild of a node that is not a child does nothing.
    p2->RemoveChild(child.Get());
    EXPECT_EQ(p1->GetChildCount(), 1u);
}

TEST(ChildList, RenameUnderAnIndexKeepsThePlaceAndRefilesTheName) {
    XParamRef parent = NewNode(u"p");
    const char16_t* names[] = {u"a", u"b", u"a"};
    std::vector<XParamRef> kids;
    for (auto* n : names) {
        kids.push_back(NewNode(n));
        parent->AppendChild(kids.back().Get());
    }
    for (bool indexed : {false, true}) {
        if (indexed) parent->BuildNameIndex();
        XParamRef r = XParamRef::Adopt(parent->GetFirstChild(u"a", -1, 1));
        EXPECT_EQ(r, kids[2]);
        r = XParamRef::Adopt(parent->GetLastChild(u"a", -1, 0));
        EXPECT_EQ(r, kids[2]);
        r = XParamRef::Adopt(parent->GetFirstChild(u"a", -1, 2));
        EXPECT_FALSE(r);
    }
    kids[0]->SetName(u"z", -1);
    XParamRef first = XParamRef::Adopt(parent->GetFirstChild());
    EXPECT_EQ(first, kids[0]);
    XParamRef r = XParamRef::Adopt(parent->GetFirstChild(u"a", -1, 0));
    EXPECT_EQ(r, kids[2]);
    r = XParamRef::Adopt(parent->GetFirstChild(u"z", -1, 0));
    EXPECT_EQ(r, kids[0]);
    // RemoveAllChildren empties the index but keeps it.
    parent->RemoveAllChildren();
    EXPECT_TRUE(parent->HasNameIndex());
    r = XParamRef::Adopt(parent->GetFirstChild(u"a", -1, 0));
    EXPECT_FALSE(r);
}

TEST(ChildList, NamesWithEmbeddedNulsAreExact) {
    XParamRef parent = NewNode(u"p");
    XParamRef child = NewNode();
    child->SetName(u"a\0b", 3);
    parent->AppendChild(child.Get());
    for (bool indexed : {false, true}) {
        if (indexed) parent->BuildNameIndex();
        XParamRef r = XParamRef::Adopt(parent->GetFirstChild(u"a", -1, 0));
        EXPECT_FALSE(r);
        r = XParamRef::Adopt(parent->GetFirstChild(u"a\0b", 3, 0));
        EXPECT_EQ(r, child);
    }
}

TEST(ChildList, DocumentElementIsTheNamedNodeOrTheFirstChild) {
    XParamRef named = NewNode(u"doc");
    XParamRef r = XParamRef::Adopt(named->GetDocumentElement());
    EXPECT_EQ(r, named);
    XParamRef root = NewNode();
    r = XParamRef::Adopt(root->GetDocumentElement());
    EXPECT_FALSE(r);
    XParamRef attr = NewNode(u"version");
    attr->SetNodeKind(NodeKind::Attribute);
    root->AppendChild(attr.Get());
    root->AppendChild(NewNode(u"doc").Get());
    r = XParamRef::Adopt(root->GetDocumentElement());
    EXPECT_EQ(r, attr);
}

}  // namespace
}  // namespace xparam::test
