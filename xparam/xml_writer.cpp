#include "xparam/xml_writer.h"

#include "xparam/entity_decoder.h"
#include "xparam/xml_char_class.h"

namespace xparam {
namespace {

bool IsAttribute(const XParamImpl* node) {
    return node->NodeKindCode() == NodeKind::Attribute;
}

XParamImpl* SkipAttributes(XParamImpl* node) {
    while (node && IsAttribute(node)) node = node->NextSiblingNode();
    return node;
}

XParamImpl* FirstElementChild(XParamImpl* node) {
    return SkipAttributes(node->FirstChildNode());
}

XParamImpl* NextElementSibling(XParamImpl* node) {
    return SkipAttributes(node->NextSiblingNode());
}

// The wide text of a node's value and, for formatted values, the holder that
// keeps it alive until it has been appended.
struct ValueText {
    const char16_t* text = nullptr;
    int length = 0;
    XInResSlot holder;

    bool Read(XParamImpl* node) {
        if (const WideString* s = node->StringValue()) {
            text = s->Data();
            length = static_cast<int>(s->Length());
            return true;
        }
        if (node->Kind() == ValueKind::Empty) return false;
        return node->GetValue(text, length, holder);
    }
};

}  // namespace

void XmlWriter::AppendEscaped(WideString& out, const char16_t* text, size_t length) {
    static constexpr char16_t kHex[] = u"0123456789abcdef";
    const char16_t* p = text;
    const char16_t* const end = text + length;
    for (;;) {
        const char16_t* s = p;
        p = SkipUntilXmlClass(p, end, kXmlEscape);
        if (s < p) out.Append(s, static_cast<size_t>(p - s));
        if (p == end) return;
        const char16_t c = *p++;
        const NamedEntity* named = nullptr;
        for (const NamedEntity& e : kNamedEntities) {
            if (e.unit == c) named = &e;
        }
        if (named) {
            out.Append(named->text.data(), named->text.size());
        } else {
            const char16_t ref[] = {'&', '#', 'x', kHex[c >> 4], kHex[c & 15], ';'};
            out.Append(ref, 6);
        }
    }
}

void XmlWriter::AppendCdata(WideString& out, const char16_t* text, size_t length) {
    const std::u16string_view all(text, length);
    out.Append(u"<![CDATA[", 9);
    size_t from = 0;
    for (size_t at = all.find(u"]]>"); at != std::u16string_view::npos;
         at = all.find(u"]]>", at + 1)) {
        // "]]" closes this section, the next one starts with ">".
        out.Append(text + from, at + 2 - from);
        out.Append(u"]]><![CDATA[", 12);
        from = at + 2;
    }
    out.Append(text + from, length - from);
    out.Append(u"]]>", 3);
}

bool XmlWriter::AppendValue(XParamImpl* node, bool asCdata, bool ownLine) {
    ValueText value;
    if (!value.Read(node)) return false;
    if (ownLine) {
        Append(indent_);
        Append(unit_);
    }
    const auto length = static_cast<size_t>(value.length < 0 ? 0 : value.length);
    if (asCdata) {
        AppendCdata(out_, value.text, length);
    } else {
        AppendEscaped(out_, value.text, length);
    }
    if (ownLine) Append(lineBreak_);
    return true;
}

bool XmlWriter::WriteStart(XParamImpl* node) {
    Append(indent_);
    out_.Append(u'<');
    Append(node->NameText());
    bool hasElements = false;
    for (XParamImpl* child = node->FirstChildNode(); child; child = child->NextSiblingNode()) {
        if (!IsAttribute(child)) {
            hasElements = true;
            continue;
        }
        out_.Append(u' ');
        Append(child->NameText());
        out_.Append(u"=\"", 2);
        AppendValue(child, false, false);
        out_.Append(u'"');
    }
    const bool cdata = node->NodeKindCode() == NodeKind::CData;
    if (hasElements) {
        out_.Append(u'>');
        Append(lineBreak_);
        // The value on its own line, one level deeper; no line without a text form.
        AppendValue(node, cdata, true);
        return true;
    }
    if (node->IsEmpty()) {
        out_.Append(u"/>", 2);
    } else {
        out_.Append(u'>');
        AppendValue(node, cdata, false);
        WriteEndTag(node);
        return false;
    }
    Append(lineBreak_);
    return false;
}

void XmlWriter::WriteEndTag(XParamImpl* node) {
    out_.Append(u"</", 2);
    Append(node->NameText());
    out_.Append(u'>');
    Append(lineBreak_);
}

void XmlWriter::Write(XParamImpl* root) {
    XParamImpl* node = root;
    for (;;) {
        // Enter `node`: a named node writes its start; an unnamed one lends its
        // element children its own indentation.
        const bool named = !node->NameText().Empty();
        const bool open = named ? WriteStart(node) : true;
        if (open) {
            if (XParamImpl* child = FirstElementChild(node)) {
                if (named) indent_.Append(unit_.data(), unit_.size());
                node = child;
                continue;
            }
        }
        // `node` is complete: move on to its next element sibling, closing the
        // ancestors whose children are all written.
        for (;;) {
            if (node == root) return;
            if (XParamImpl* next = NextElementSibling(node)) {
                node = next;
                break;
            }
            node = node->ParentNode();
            if (!node->NameText().Empty()) {
                indent_.Resize(indent_.Length() - unit_.size());
                Append(indent_);
                WriteEndTag(node);
            }
        }
    }
}

}  // namespace xparam
