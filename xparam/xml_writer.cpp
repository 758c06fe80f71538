#include "xparam/xml_writer.h"

#include <cstdint>
#include <type_traits>

#include "platform/ascii_blocks.h"
#include "platform/compiler.h"
#include "platform/utf_codec.h"
#include "xparam/entity_decoder.h"
#include "xparam/xml_char_class.h"

namespace xparam {
namespace {

// The first buffer holds this many units; each growth at least doubles it.
constexpr size_t kFirstCapacity = 512;
// The most a string holds: growth stops there while the content fits, and
// content beyond it fails the write (std::bad_alloc).
constexpr size_t kMaxCapacity = wide_string_detail::kMaxCapacity;
// Tree text goes to UTF-8 in pieces of this many units, so the room reserved
// ahead (three bytes a unit) never exceeds the output by more than a piece.
constexpr size_t kUtf8Piece = 1 << 16;

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
// keeps it alive until it has been written.
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

// Sets the string's length to what the cursor has written when the walk
// ends, also when it ends by an exception.
template <typename Unit>
struct FilledLength {
    BasicWideString<Unit>& out;
    Unit* const& base;
    Unit* const& cur;
    ~FilledLength() { out.SetFilledLength(static_cast<size_t>(cur - base)); }
};

}  // namespace

template <typename Unit>
void XmlWriter<Unit>::Grow(size_t units) {
    const size_t used = static_cast<size_t>(cur_ - base_);
    size_t wanted = size_t(out_.Capacity()) * 2;
    if (wanted < kFirstCapacity) wanted = kFirstCapacity;
    if (wanted < used + units) wanted = used + units;
    // Stay within the 32-bit length field as long as the content fits.
    if (wanted > kMaxCapacity && used + units <= kMaxCapacity) wanted = kMaxCapacity;
    out_.SetFilledLength(used);
    out_.ReserveUnits(wanted);
    base_ = out_.MutableData();
    cur_ = base_ + used;
    end_ = base_ + out_.Capacity();
}

template <typename Unit>
void XmlWriter<Unit>::PutText(const char16_t* text, size_t length) {
    if constexpr (std::is_same_v<Unit, char16_t>) {
        PutUnits(text, length);
    } else {
        while (length > kUtf8Piece) {
            // A piece never ends between the two units of a surrogate pair.
            size_t piece = kUtf8Piece;
            if (text[piece - 1] >= 0xD800 && text[piece - 1] < 0xDC00) --piece;
            PutUtf8Piece(text, piece);
            text += piece;
            length -= piece;
        }
        PutUtf8Piece(text, length);
    }
}

template <typename Unit>
void XmlWriter<Unit>::PutUtf8Piece(const char16_t* text, size_t length) {
    if constexpr (std::is_same_v<Unit, unsigned char>) {
        // No unit makes more than three bytes (a surrogate pair makes four).
        Room(length * 3);
        size_t k = corvo::platform::NarrowAsciiBlocks(text, length, cur_);
        while (k < length && text[k] < 0x80) {
            cur_[k] = static_cast<Unit>(text[k]);
            ++k;
        }
        cur_ += k;
        if (k < length) {
            cur_ += corvo::platform::Utf16ToUtf8(text + k, length - k, cur_, (length - k) * 3);
        }
    }
}

template <typename Unit>
void XmlWriter<Unit>::PutEscaped(const char16_t* text, size_t length) {
    static constexpr char kHex[] = "0123456789abcdef";
    const char16_t* p = text;
    const char16_t* const end = text + length;
    for (;;) {
        const char16_t* s = p;
        p = SkipUntilXmlClass<kXmlEscape>(p, end);
        if (s < p) PutText(s, static_cast<size_t>(p - s));
        if (p == end) return;
        const char16_t c = *p++;
        const NamedEntity* named = nullptr;
        for (const NamedEntity& e : kNamedEntities) {
            if (e.unit == c) named = &e;
        }
        if (named) {
            // Entity texts are ASCII.
            Room(named->text.size());
            for (char16_t u : named->text) *cur_++ = static_cast<Unit>(u);
        } else {
            const char ref[] = {'&', '#', 'x', kHex[c >> 4], kHex[c & 15], ';', 0};
            Put(ref);
        }
    }
}

template <typename Unit>
void XmlWriter<Unit>::PutCdata(const char16_t* text, size_t length) {
    const std::u16string_view all(text, length);
    Put("<![CDATA[");
    size_t from = 0;
    for (size_t at = all.find(u"]]>"); at != std::u16string_view::npos;
         at = all.find(u"]]>", at + 1)) {
        // "]]" closes this section, the next one starts with ">".
        PutText(text + from, at + 2 - from);
        Put("]]><![CDATA[");
        from = at + 2;
    }
    PutText(text + from, length - from);
    Put("]]>");
}

template <typename Unit>
void XmlWriter<Unit>::WriteValue(XParamImpl* node, bool asCdata, bool ownLine) {
    ValueText value;
    if (!value.Read(node)) return;
    if (ownLine) {
        PutUnits(indent_.data(), indent_.size());
        PutUnits(unit_);
    }
    const auto length = static_cast<size_t>(value.length < 0 ? 0 : value.length);
    if (asCdata) {
        PutCdata(value.text, length);
    } else {
        PutEscaped(value.text, length);
    }
    if (ownLine) PutUnits(lineBreak_);
}

template <typename Unit>
bool XmlWriter<Unit>::WriteStart(XParamImpl* node) {
    PutUnits(indent_.data(), indent_.size());
    Put('<');
    PutText(node->NameText());
    // The attributes are written wherever they stand among the children; the
    // walk stops after the last one, so element children are first reached
    // when their own turn comes.
    uint32_t attributesLeft = node->AttributeCount();
    const bool hasElements = node->ChildCount() > attributesLeft;
    for (XParamImpl* child = node->FirstChildNode(); attributesLeft > 0;
         child = child->NextSiblingNode()) {
        if (!IsAttribute(child)) continue;
        --attributesLeft;
        Put(' ');
        PutText(child->NameText());
        Put("=\"");
        WriteValue(child, false, false);
        Put('"');
    }
    const bool cdata = node->NodeKindCode() == NodeKind::CData;
    if (hasElements) {
        Put('>');
        PutUnits(lineBreak_);
        // The value on its own line, one level deeper; no line without a text form.
        WriteValue(node, cdata, true);
        return true;
    }
    if (node->IsEmpty()) {
        Put("/>");
    } else {
        Put('>');
        WriteValue(node, cdata, false);
        WriteEndTag(node);
        return false;
    }
    PutUnits(lineBreak_);
    return false;
}

template <typename Unit>
void XmlWriter<Unit>::WriteEndTag(XParamImpl* node) {
    Put("</");
    PutText(node->NameText());
    Put('>');
    PutUnits(lineBreak_);
}

template <typename Unit>
void XmlWriter<Unit>::Write(XParamImpl* root) {
    base_ = out_.MutableData();
    cur_ = base_ + out_.Length();
    end_ = base_ + out_.Capacity();
    const FilledLength<Unit> commit{out_, base_, cur_};
    XParamImpl* node = root;
    for (;;) {
        // Enter `node`: a named node writes its start; an unnamed one lends its
        // element children its own indentation.
        const bool named = !node->NameText().Empty();
        const bool open = named ? WriteStart(node) : true;
        if (open) {
            if (XParamImpl* child = FirstElementChild(node)) {
                if (named) indent_.insert(indent_.end(), unit_.begin(), unit_.end());
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
                indent_.resize(indent_.size() - unit_.size());
                PutUnits(indent_.data(), indent_.size());
                WriteEndTag(node);
            }
        }
    }
}

template class XmlWriter<char16_t>;
template class XmlWriter<unsigned char>;

}  // namespace xparam
