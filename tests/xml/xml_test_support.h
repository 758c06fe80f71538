// Helpers shared by the XML reader and writer tests.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "xparam/xparam.h"
#include "xparam/xparam_impl.h"
#include "xparam/xparam_parser.h"
#include "xparam/xparam_traversal.h"

namespace xparam::test {

inline XParamRef NewNode(std::u16string_view name = u"") {
    XParamRef node = XParamRef::Adopt(CreateXParam());
    node->SetName(name.data(), static_cast<int>(name.size()));
    return node;
}

// Appends a new child named `name` (of kind `kind`) to `parent` and returns it.
inline XParam* AddChild(XParam* parent, std::u16string_view name,
                        NodeKind kind = NodeKind::Element) {
    XParamRef child = NewNode(name);
    child->SetNodeKind(kind);
    parent->AppendChild(child.Get());
    return child.Get();  // the parent's links keep it alive
}

inline XParam* AddText(XParam* parent, std::u16string_view name, std::u16string_view text,
                       NodeKind kind = NodeKind::Element) {
    XParam* child = AddChild(parent, name, kind);
    child->SetValue(text.data(), static_cast<int>(text.size()));
    return child;
}

inline std::string Narrow(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char buf[12];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return out;
}

// A compact form of a subtree: [@ attribute | ! CData] name [=value] [{children}],
// children separated by spaces; a String value is quoted, a Bool is ?0 or ?1,
// other kinds show their code as #n. Deep trees are not for this form.
inline std::string Dump(XParam* node) {
    XParamImpl* n = XParamImpl::From(node);
    std::string out;
    if (n->NodeKindCode() == NodeKind::Attribute) out += '@';
    if (n->NodeKindCode() == NodeKind::CData) out += '!';
    out += Narrow(n->NameText().View());
    if (const WideString* s = n->StringValue()) {
        out += "=\"" + Narrow(s->View()) + "\"";
    } else if (n->Kind() == ValueKind::Bool) {
        bool b = false;
        n->GetValue(b);
        out += b ? "=?1" : "=?0";
    } else if (n->Kind() != ValueKind::Empty) {
        out += "=#" + std::to_string(static_cast<int>(n->Kind()));
    }
    if (XParamImpl* c = n->FirstChildNode()) {
        out += '{';
        for (; c; c = c->NextSiblingNode()) {
            out += Dump(c);
            if (c->NextSiblingNode()) out += ' ';
        }
        out += '}';
    }
    return out;
}

inline XParamParserRef NewParser() {
    return XParamParserRef::Adopt(CreateXParamParser());
}

inline XParamTraversalRef NewTraversal() {
    return XParamTraversalRef::Adopt(CreateXParamTraversal());
}

// The tree as wide XML text with the given layout.
inline std::u16string ToXml(XParam* root, const char16_t* indent = u"\t",
                            const char16_t* lineBreak = u"\r\n") {
    XParamTraversalRef t = NewTraversal();
    XInResSlot slot;
    int length = -1;
    const char16_t* text = t->ToXml(root, length, indent, lineBreak, slot);
    return std::u16string(text, static_cast<size_t>(length));
}

inline XParamRef RootOf(XParamParser* parser) {
    return XParamRef::Adopt(parser->GetRoot());
}

}  // namespace xparam::test
