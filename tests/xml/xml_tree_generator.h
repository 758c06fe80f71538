// XmlTreeGenerator: random trees in the XML form's domain, for round-trip
// tests and the round-trip fuzzer, and the normalisation a write-then-read
// applies to them.
//
// Generated trees hold: named elements (names of name characters, ASCII and
// beyond), attribute children (anywhere among the element children), CData
// nodes, and values that are Int, Bool or String. Element text is printable
// without leading or trailing blanks and without CR or LF; attribute values
// may start or end with blanks but hold no CR or LF; CDATA text is anything,
// "]]>" and line breaks included.
//
// What the XML form normalises (NormalisedForXml):
//  - every value comes back as a String (its text form);
//  - an element whose text is empty comes back without a value;
//  - a CData node without a value comes back as an element;
//  - an attribute without a value comes back with the empty String;
//  - attributes come back first, in their order, followed by the elements.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "xparam/xparam.h"
#include "xparam/xparam_impl.h"

namespace xparam::test {

class XmlTreeGenerator {
  public:
    // `next(bound)` gives a number below `bound` (bound > 0).
    explicit XmlTreeGenerator(std::function<uint32_t(uint32_t)> next) : next_(std::move(next)) {}

    XParamRef Make() {
        XParamRef root = XParamRef::Adopt(CreateXParam());
        Fill(root.Get(), 0);
        return root;
    }

  private:
    static constexpr int kMaxDepth = 5;
    static constexpr int kMaxNodes = 40;

    uint32_t Next(uint32_t bound) { return bound <= 1 ? 0 : next_(bound) % bound; }

    std::u16string Name() {
        static constexpr std::u16string_view kChars = u"abcXYZ019_:-.\u00e9\u4e2d";
        std::u16string name;
        const uint32_t length = 1 + Next(5);
        for (uint32_t k = 0; k < length; ++k) name += kChars[Next(kChars.size())];
        return name;
    }

    // `inner` units may appear anywhere, `edge` units also first and last.
    std::u16string Text(std::u16string_view edge, std::u16string_view inner, uint32_t maxLength) {
        std::u16string text;
        const uint32_t length = Next(maxLength + 1);
        for (uint32_t k = 0; k < length; ++k) {
            const bool atEdge = k == 0 || k + 1 == length;
            if (!atEdge && Next(3) == 0) {
                text += inner[Next(inner.size())];
            } else {
                text += edge[Next(edge.size())];
            }
        }
        return text;
    }

    void Fill(XParam* node, int depth) {
        ++nodes_;
        node->SetName(Name().c_str(), -1);
        if (Next(4) == 0) node->SetNodeKind(NodeKind::CData);
        const bool cdata = node->GetNodeKind() == NodeKind::CData;
        switch (Next(5)) {
            case 0:
                break;  // no value
            case 1:
                node->SetValue(static_cast<int>(Next(2000)) - 1000);
                break;
            case 2:
                node->SetValue(Next(2) == 1);
                break;
            default: {
                const std::u16string text =
                    cdata ? Text(u"a]>\r\n \t<&", u"]]>", 12)
                          : Text(u"aZ9&<>\"'\u00e9\U0001F600\x01", u" \t", 12);
                node->SetValue(text.data(), static_cast<int>(text.size()));
                break;
            }
        }
        if (depth >= kMaxDepth) return;
        const uint32_t children = Next(5);
        for (uint32_t k = 0; k < children && nodes_ < kMaxNodes; ++k) {
            XParamRef child = XParamRef::Adopt(CreateXParam());
            if (Next(3) == 0) {
                ++nodes_;
                child->SetName(Name().c_str(), -1);
                child->SetNodeKind(NodeKind::Attribute);
                if (Next(4) != 0) {
                    const std::u16string text = Text(u" a<&\"'\t\u00e9", u"b", 8);
                    child->SetValue(text.data(), static_cast<int>(text.size()));
                }
            } else {
                Fill(child.Get(), depth + 1);
            }
            node->AppendChild(child.Get());
        }
    }

    std::function<uint32_t(uint32_t)> next_;
    int nodes_ = 0;
};

// A copy of a generated tree as it reads back from its XML form.
inline XParamRef NormalisedForXml(XParam* source) {
    XParamImpl* s = XParamImpl::From(source);
    XParamRef copy = XParamRef::Adopt(CreateXParam());
    copy->SetName(s->NameText().Data(), static_cast<int>(s->NameText().Length()));
    NodeKind kind = s->NodeKindCode();
    XInResSlot slot;
    const char16_t* text = nullptr;
    int length = 0;
    const bool hasText = !s->IsEmpty() && s->GetValue(text, length, slot);
    if (kind == NodeKind::Attribute) {
        copy->SetValue(hasText ? text : u"", hasText ? length : 0);
    } else if (hasText && (length > 0 || kind == NodeKind::CData)) {
        copy->SetValue(text, length);
    } else if (kind == NodeKind::CData) {
        kind = NodeKind::Element;
    }
    copy->SetNodeKind(kind);
    if (kind == NodeKind::Attribute) return copy;
    for (int pass = 0; pass < 2; ++pass) {
        for (XParamImpl* c = s->FirstChildNode(); c; c = c->NextSiblingNode()) {
            const bool attribute = c->NodeKindCode() == NodeKind::Attribute;
            if (attribute != (pass == 0)) continue;
            XParamRef child = NormalisedForXml(c);
            copy->AppendChild(child.Get());
        }
    }
    return copy;
}

}  // namespace xparam::test
