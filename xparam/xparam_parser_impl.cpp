#include "xparam/xparam_parser_impl.h"

#include <climits>
#include <cstring>
#include <memory>

#include "platform/compiler.h"
#include "xparam/counted_text.h"
#include "xparam/encoding_sniffer.h"
#include "xparam/entity_decoder.h"
#include "xparam/file_loader.h"
#include "xparam/text_codec.h"
#include "xparam/xml_char_class.h"

namespace xparam {

XParamParser* CreateXParamParser() {
    return new XParamParserImpl();
}

namespace {

bool IsLineBreak(char16_t c) {
    return c == '\r' || c == '\n';
}

// The empty-input test shared by both ParseText overloads.
template <class CharT>
bool IsEmptyInput(const CharT* text, int32_t length) {
    return text == nullptr || length == 0 || length < -1 || (length == -1 && text[0] == 0);
}

}  // namespace

// ---------------------------------------------------------------------------
// Entry points

void XParamParserImpl::Reset() {
    line_ = 1;
    column_ = 0;
    consumedBefore_ = 0;
    position_ = 0;
    begin_ = end_ = nullptr;
    lineBreaks_ = 0;
    lineStart_ = previousLineStart_ = nullptr;
    text_.Clear();
    dropLineBreaks_ = true;
    heldCurrent_.Reset();
    root_ = XRef<XParamImpl>::Adopt(XParamImpl::Create());
    current_ = root_.Get();
    state_ = ReaderState::Text;
    error_ = ParseError::None;
    keywordLength_ = 0;
    keywordIsCdata_ = false;
    markupStart_ = cdataEnd_ = nullptr;
    cdataNode_ = nullptr;
}

bool XParamParserImpl::FailBeforeParse(ParseError error) {
    error_ = error;
    return false;
}

bool XParamParserImpl::ParseText(const char16_t* pText, int32_t nLen) {
    Reset();
    if (IsEmptyInput(pText, nLen)) return false;
    if (!root_) return FailBeforeParse(ParseError::NoRoot);
    if (current_ == nullptr) return FailBeforeParse(ParseError::NoCurrent);
    return Run(pText, CountedLength(pText, nLen));
}

bool XParamParserImpl::ParseText(const char* pText, int32_t nLen, unsigned int codePage) {
    Reset();
    if (IsEmptyInput(pText, nLen)) return false;
    if (!root_) return FailBeforeParse(ParseError::NoRoot);
    if (current_ == nullptr) return FailBeforeParse(ParseError::NoCurrent);
    WideString wide;
    if (!ToWide(pText, nLen, codePage, wide)) return FailBeforeParse(ParseError::BadEncoding);
    return Run(wide.Data(), wide.Length());
}

bool XParamParserImpl::ParseBytes(const uint8_t* pData, int32_t nSize) {
    size_t size = 0;
    if (pData != nullptr && nSize == -1) {
        size = std::strlen(reinterpret_cast<const char*>(pData));
    } else if (nSize > 0) {
        size = static_cast<size_t>(nSize);
    }
    return ParseBlock(pData, size);
}

bool XParamParserImpl::ParseBlock(const uint8_t* data, size_t size) {
    char name[kEncodingNameSize];
    int markLength = 0;
    if (data == nullptr || !SniffEncoding(data, size, name, markLength)) {
        Reset();
        return FailBeforeParse(ParseError::BadEncoding);
    }
    ConversionState state;
    const char16_t* text = nullptr;
    size_t length = 0;
    if (!DecodeText(data + markLength, size - static_cast<size_t>(markLength), LookupCodePage(name),
                    text, length, state) ||
        length > static_cast<size_t>(INT32_MAX)) {
        Reset();
        return FailBeforeParse(ParseError::BadEncoding);
    }
    return ParseText(text, static_cast<int32_t>(length));
}

bool XParamParserImpl::ParseFile(const char* pPath) {
    std::unique_ptr<uint8_t[]> block;
    size_t size = 0;
    if (!ReadWholeFile(pPath, block, size)) {
        Reset();
        return FailBeforeParse(ParseError::FileUnreadable);
    }
    return ParseBlock(block.get(), size);
}

bool XParamParserImpl::ParseFile(const char16_t* pPath) {
    std::unique_ptr<uint8_t[]> block;
    size_t size = 0;
    if (!ReadWholeFile(pPath, block, size)) {
        Reset();
        return FailBeforeParse(ParseError::FileUnreadable);
    }
    return ParseBlock(block.get(), size);
}

XParam* XParamParserImpl::GetRoot() {
    XParamImpl* root = root_.Get();
    if (root) root->AddRef();
    return root;
}

XParam* XParamParserImpl::DetachRoot() {
    heldCurrent_.Reset();
    current_ = nullptr;
    return root_.Detach();
}

bool XParamParserImpl::Run(const char16_t* text, size_t length) {
    begin_ = text;
    end_ = text + length;
    lineStart_ = previousLineStart_ = text;
    lineBreaks_ = 0;
    const char16_t* p = text;
    while (p < end_ && error_ == ParseError::None) {
        switch (state_) {
            case ReaderState::Text:
                p = OnText(p);
                break;
            case ReaderState::TagOpen:
                p = OnTagOpen(p);
                break;
            case ReaderState::ElementName:
                p = OnElementName(p);
                break;
            case ReaderState::AttributeList:
                p = OnAttributeList(p);
                break;
            case ReaderState::AttributeName:
                p = OnAttributeName(p);
                break;
            case ReaderState::BeforeEquals:
                p = OnBeforeEquals(p);
                break;
            case ReaderState::BeforeValue:
                p = OnBeforeValue(p);
                break;
            case ReaderState::AttributeValue:
                p = OnAttributeValue(p);
                break;
            case ReaderState::TagClose:
                p = OnTagClose(p);
                break;
            case ReaderState::EndTagName:
                p = OnEndTagName(p);
                break;
            case ReaderState::Bang:
                p = OnBang(p);
                break;
            case ReaderState::Declaration:
                p = OnDeclaration(p);
                break;
            case ReaderState::CommentStart:
                p = OnCommentStart(p);
                break;
            case ReaderState::Comment:
                p = OnComment(p);
                break;
            case ReaderState::CdataKeyword:
                p = OnCdataKeyword(p);
                break;
            case ReaderState::Cdata:
                p = OnCdata(p);
                break;
            case ReaderState::PiTarget:
                p = OnPiTarget(p);
                break;
            case ReaderState::PiBody:
                p = OnPiBody(p);
                break;
            case ReaderState::ExpectGt:
                p = OnExpectGt(p);
                break;
        }
    }
    SettlePosition(p);
    if (error_ != ParseError::None) {
        heldCurrent_ = XRef<XParamImpl>(current_);
        return false;
    }
    // Whatever text or attribute value was still being collected is dropped.
    text_.Clear();
    current_ = nullptr;
    return true;
}

void XParamParserImpl::SettlePosition(const char16_t* cursor) {
    position_ = consumedBefore_ + static_cast<uint32_t>(cursor - begin_);
    if (cursor == begin_) {
        line_ = 1;
        column_ = 0;
    } else if (cursor == lineStart_ && lineBreaks_ > 0) {
        // The last unit read ended a line; the next line begins only with
        // the next unit read.
        line_ = lineBreaks_;
        column_ = static_cast<int32_t>(cursor - previousLineStart_);
    } else {
        line_ = 1 + lineBreaks_;
        column_ = static_cast<int32_t>(cursor - lineStart_);
    }
}

// ---------------------------------------------------------------------------
// Shared steps

const char16_t* XParamParserImpl::Fail(ParseError error, const char16_t* offending) {
    error_ = error;
    return offending + 1;
}

CORVO_ALWAYS_INLINE const char16_t* XParamParserImpl::SkipBlanks(const char16_t* p) {
    for (; p < end_ && IsXmlBlank(*p); ++p) {
        if (IsLineBreak(*p)) NoteLineBreak(p);
    }
    return p;
}

const char16_t* XParamParserImpl::ReadReference(const char16_t* amp, char16_t closer,
                                                WideString* target) {
    const char16_t* q = amp + 1;
    for (;;) {
        q = SkipUntilXmlClass<kXmlReferenceStop>(q, end_);
        if (q == end_) return q;  // still open when the input ends
        const char16_t c = *q;
        if (c == ';') break;
        if (c == closer) return Fail(ParseError::BadEntity, q);
        if (IsLineBreak(c)) NoteLineBreak(q);
        ++q;
    }
    char16_t unit = 0;
    if (!EntityDecoder::Decode(amp, static_cast<size_t>(q - amp + 1), unit)) {
        return Fail(ParseError::BadEntity, q);
    }
    if (target) target->Append(unit);
    return q + 1;
}

CORVO_ALWAYS_INLINE void XParamParserImpl::CommitText(const char16_t* d, size_t length) {
    if (length != 0 && current_ != root_.Get() && current_->IsEmpty()) {
        size_t first = 0;
        size_t last = length;
        while (first < last && IsXmlBlank(d[first])) ++first;
        while (last > first && IsXmlBlank(d[last - 1])) --last;
        if (last > first) {
            current_->MutableStringValue().AssignInArena(arena_, d + first, last - first);
            current_->SetNodeKind(NodeKind::Element);
        }
    }
    text_.SetFilledLength(0);
}

CORVO_ALWAYS_INLINE void XParamParserImpl::EnterText() {
    text_.SetFilledLength(0);  // keeps the block for the next run
    state_ = ReaderState::Text;
}

CORVO_ALWAYS_INLINE void XParamParserImpl::CloseElement() {
    XParamImpl* parent = current_->ParentNode();
    if (parent == nullptr) {
        // Unreachable: an end tag never matches the unnamed document node.
        error_ = ParseError::NoCurrent;
        return;
    }
    current_ = parent;
    EnterText();
}

CORVO_ALWAYS_INLINE XParamImpl* XParamParserImpl::NewChild() {
    return current_->AppendNewPlacedChild(arena_);  // the child list's links keep it
}

// ---------------------------------------------------------------------------
// Handlers

CORVO_ALWAYS_INLINE const char16_t* XParamParserImpl::OnText(const char16_t* p) {
    const char16_t* const end = end_;
    if (text_.Empty()) {
        // Blanks before the first character data (the indentation between
        // elements) would be trimmed at the commit: pass them at once.
        p = SkipBlanks(p);
        if (p != end && *p == '<') {
            markupStart_ = p;
            state_ = ReaderState::TagOpen;
            return p + 1 < end ? OnTagOpen(p + 1) : p + 1;
        }
    }
    for (;;) {
        const char16_t* s = p;
        p = SkipUntilXmlClass<kXmlTextStop>(p, end);
        const bool collected = !text_.Empty();
        // Leading blanks would be trimmed at the commit: skip them now.
        if (!collected) {
            while (s < p && IsXmlBlank(*s)) ++s;
        }
        if (p != end && *p == '<') {
            markupStart_ = p;
            if (collected) {
                text_.Append(s, static_cast<size_t>(p - s));
                CommitText(text_.Data(), text_.Length());
            } else {
                CommitText(s, static_cast<size_t>(p - s));  // straight from the input
            }
            state_ = ReaderState::TagOpen;
            return p + 1 < end ? OnTagOpen(p + 1) : p + 1;
        }
        if (s < p) text_.Append(s, static_cast<size_t>(p - s));
        if (p == end) return p;
        const char16_t c = *p;
        if (c == '&') {
            p = ReadReference(p, '<', &text_);
            if (error_ != ParseError::None || p == end) return p;
            continue;
        }
        NoteLineBreak(p);
        if (!dropLineBreaks_) text_.Append(c);
        ++p;
    }
}

CORVO_ALWAYS_INLINE const char16_t* XParamParserImpl::OnTagOpen(const char16_t* p) {
    const char16_t c = *p;
    switch (c) {
        case '!':
            state_ = ReaderState::Bang;
            return p + 1;
        case '?':
            state_ = ReaderState::PiTarget;
            return p + 1;
        case '/':
            state_ = ReaderState::EndTagName;
            return p + 1 < end_ ? OnEndTagName(p + 1) : p + 1;
        default:
            break;
    }
    if (!IsXmlNameChar(c)) return Fail(ParseError::BadSyntax, p);
    XParamImpl* element = NewChild();
    current_ = element;
    const char16_t* q = SkipXmlName(p + 1, end_);
    element->MutableName().AssignInArena(arena_, p, static_cast<size_t>(q - p));
    return OnStartTagRest(q);
}

CORVO_ALWAYS_INLINE const char16_t* XParamParserImpl::OnStartTagRest(const char16_t* q) {
    // The common shape in one pass: attributes `name="value"` after single
    // spaces, the tag closed by ">". Whatever else comes (other blanks, line
    // breaks, references, "/>", errors, the end of the input) is left to the
    // states from a point where they would have been anyway, so positions,
    // line counts and errors stay theirs.
    const char16_t* const end = end_;
    // Right after the name the reader is in ElementName, after an attribute
    // in AttributeList (where a name may follow a value directly).
    state_ = ReaderState::ElementName;
    for (;;) {
        if (q == end) return q;
        if (*q == '>') {
            EnterText();
            return q + 1;
        }
        if (*q != ' ') return state_ == ReaderState::ElementName ? OnElementName(q) : q;
        const char16_t* n = q + 1;
        state_ = ReaderState::AttributeList;
        if (n == end || !IsXmlNameChar(*n)) return n;
        const char16_t* e = SkipXmlName(n + 1, end);
        if (end - e < 2 || e[0] != '=' || (e[1] != '"' && e[1] != '\'')) return n;
        const char16_t* v = e + 2;
        const char16_t* stop = SkipUntilXmlClass<kXmlValueStop>(v, end);
        if (stop == end || *stop != e[1]) return n;
        XParamImpl* attribute = NewChild();
        attribute->MutableName().AssignInArena(arena_, n, static_cast<size_t>(e - n));
        attribute->MutableStringValue().AssignInArena(arena_, v, static_cast<size_t>(stop - v));
        attribute->SetNodeKind(NodeKind::Attribute);
        q = stop + 1;
    }
}

CORVO_ALWAYS_INLINE const char16_t* XParamParserImpl::ExtendName(const char16_t* p) {
    const char16_t* q = SkipXmlName(p, end_);
    if (q > p) current_->MutableName().Append(p, static_cast<size_t>(q - p));
    return q;
}

CORVO_ALWAYS_INLINE const char16_t* XParamParserImpl::OnElementName(const char16_t* p) {
    const char16_t* q = ExtendName(p);
    if (q == end_) return q;
    const char16_t c = *q;
    if (c == '>') {
        EnterText();
    } else if (c == '/') {
        state_ = ReaderState::TagClose;
    } else if (IsXmlBlank(c)) {
        if (IsLineBreak(c)) NoteLineBreak(q);
        state_ = ReaderState::AttributeList;
    } else {
        return Fail(ParseError::BadSyntax, q);
    }
    return q + 1;
}

CORVO_ALWAYS_INLINE const char16_t* XParamParserImpl::OnAttributeList(const char16_t* p) {
    p = SkipBlanks(p);
    if (p == end_) return p;
    const char16_t c = *p;
    if (c == '>') {
        EnterText();
        return p + 1;
    }
    if (c == '/') {
        state_ = ReaderState::TagClose;
        return p + 1;
    }
    if (!IsXmlNameChar(c)) return Fail(ParseError::BadSyntax, p);
    XParamImpl* attribute = NewChild();
    const char16_t* q = SkipXmlName(p + 1, end_);
    attribute->MutableName().AssignInArena(arena_, p, static_cast<size_t>(q - p));
    current_ = attribute;
    state_ = ReaderState::AttributeName;
    return q;
}

CORVO_ALWAYS_INLINE const char16_t* XParamParserImpl::OnAttributeName(const char16_t* p) {
    const char16_t* q = ExtendName(p);
    if (q == end_) return q;
    const char16_t c = *q;
    if (c == '=') {
        state_ = ReaderState::BeforeValue;
    } else if (IsXmlBlank(c)) {
        if (IsLineBreak(c)) NoteLineBreak(q);
        state_ = ReaderState::BeforeEquals;
    } else {
        return Fail(ParseError::BadSyntax, q);
    }
    return q + 1;
}

const char16_t* XParamParserImpl::OnBeforeEquals(const char16_t* p) {
    p = SkipBlanks(p);
    if (p == end_) return p;
    if (*p != '=') return Fail(ParseError::BadSyntax, p);
    state_ = ReaderState::BeforeValue;
    return p + 1;
}

CORVO_ALWAYS_INLINE const char16_t* XParamParserImpl::OnBeforeValue(const char16_t* p) {
    p = SkipBlanks(p);
    if (p == end_) return p;
    const char16_t c = *p;
    if (c != '"' && c != '\'') return Fail(ParseError::BadSyntax, p);
    quote_ = c;
    text_.SetFilledLength(0);
    state_ = ReaderState::AttributeValue;
    return p + 1;
}

CORVO_ALWAYS_INLINE const char16_t* XParamParserImpl::OnAttributeValue(const char16_t* p) {
    const char16_t* const end = end_;
    for (;;) {
        const char16_t* s = p;
        p = SkipUntilXmlClass<kXmlValueStop>(p, end);
        if (p != end && *p == quote_) {
            // The value exactly as collected, not trimmed: straight from the
            // input unless a reference or a line break came before.
            WideString& value = current_->MutableStringValue();
            if (text_.Empty()) {
                value.AssignInArena(arena_, s, static_cast<size_t>(p - s));
            } else {
                text_.Append(s, static_cast<size_t>(p - s));
                value.AssignInArena(arena_, text_.Data(), text_.Length());
                text_.SetFilledLength(0);
            }
            current_->SetNodeKind(NodeKind::Attribute);
            current_ = current_->ParentNode();
            state_ = ReaderState::AttributeList;
            return p + 1;
        }
        if (s < p) text_.Append(s, static_cast<size_t>(p - s));
        if (p == end) return p;
        const char16_t c = *p;
        if (c == '&') {
            p = ReadReference(p, quote_, &text_);
            if (error_ != ParseError::None || p == end) return p;
            continue;
        }
        if (IsLineBreak(c)) {
            NoteLineBreak(p);
            if (!dropLineBreaks_) text_.Append(c);
        } else {
            text_.Append(c);  // the other quote
        }
        ++p;
    }
}

CORVO_ALWAYS_INLINE const char16_t* XParamParserImpl::OnTagClose(const char16_t* p) {
    p = SkipBlanks(p);
    if (p == end_) return p;
    if (*p != '>') return Fail(ParseError::BadSyntax, p);
    CloseElement();
    return p + 1;
}

CORVO_ALWAYS_INLINE const char16_t* XParamParserImpl::OnEndTagName(const char16_t* p) {
    const char16_t* q = SkipXmlName(p, end_);
    if (q == end_) return q;
    if (q == p || !current_->NameText().Equals(p, static_cast<size_t>(q - p))) {
        return Fail(ParseError::TagMismatch, q);
    }
    const char16_t c = *q;
    if (c == '>') {
        CloseElement();
    } else if (IsXmlBlank(c)) {
        if (IsLineBreak(c)) NoteLineBreak(q);
        state_ = ReaderState::TagClose;
    } else {
        return Fail(ParseError::BadSyntax, q);
    }
    return q + 1;
}

const char16_t* XParamParserImpl::OnBang(const char16_t* p) {
    const char16_t c = *p;
    if (c == '[') {
        keywordLength_ = 0;
        keywordIsCdata_ = true;
        state_ = ReaderState::CdataKeyword;
    } else if (c == '-') {
        state_ = ReaderState::CommentStart;
    } else {
        if (IsLineBreak(c)) NoteLineBreak(p);
        state_ = ReaderState::Declaration;
    }
    return p + 1;
}

const char16_t* XParamParserImpl::OnDeclaration(const char16_t* p) {
    for (;;) {
        p = SkipUntilXmlClass<kXmlMarkupStop>(p, end_);
        if (p == end_) return p;
        if (*p == '>') {
            EnterText();
            return p + 1;
        }
        NoteLineBreak(p++);
    }
}

const char16_t* XParamParserImpl::OnCommentStart(const char16_t* p) {
    if (*p != '-') return Fail(ParseError::BadSyntax, p);
    match_ = 0;
    state_ = ReaderState::Comment;
    return p + 1;
}

const char16_t* XParamParserImpl::OnComment(const char16_t* p) {
    for (;;) {
        const char16_t* q = SkipUntilXmlClass<kXmlCommentStop>(p, end_);
        if (q > p) match_ = 0;
        if (q == end_) return q;
        if (*q == '-') {
            if (match_ == 1) {
                state_ = ReaderState::ExpectGt;
                return q + 1;
            }
            ++match_;
        } else {
            NoteLineBreak(q);
            match_ = 0;
        }
        p = q + 1;
    }
}

const char16_t* XParamParserImpl::OnCdataKeyword(const char16_t* p) {
    static constexpr char16_t kCdata[] = u"CDATA";
    constexpr uint32_t kCdataLength = 5;
    for (; p < end_; ++p) {
        const char16_t c = *p;
        if (IsLineBreak(c)) {
            NoteLineBreak(p);
            continue;
        }
        if (c == '[') break;
        if (keywordLength_ >= kCdataLength || c != kCdata[keywordLength_]) keywordIsCdata_ = false;
        if (keywordLength_ <= kCdataLength) ++keywordLength_;
    }
    if (p == end_) return p;
    const bool isCdata = keywordIsCdata_ && keywordLength_ == kCdataLength;
    text_.Clear();
    // A section that starts right where the previous one ended on the same
    // node continues its text (the writer splits a text containing "]]>" so).
    if (isCdata && markupStart_ == cdataEnd_ && current_ == cdataNode_ &&
        current_->Kind() == ValueKind::String && current_->NodeKindCode() == NodeKind::CData) {
        text_.Swap(current_->MutableStringValue());
    }
    if (isCdata) {
        current_->SetNodeKind(NodeKind::CData);
        current_->SetValue(true);
    }
    match_ = 0;
    state_ = ReaderState::Cdata;
    return p + 1;
}

const char16_t* XParamParserImpl::OnCdata(const char16_t* p) {
    const char16_t* const end = end_;
    for (;;) {
        const char16_t* s = p;
        p = SkipUntilXmlClass<kXmlCdataStop>(p, end);
        if (s < p) text_.Append(s, static_cast<size_t>(p - s));
        if (p == end) return p;
        if (*p != ']') {
            NoteLineBreak(p);  // kept: no line-break dropping in a section
            text_.Append(*p++);
            continue;
        }
        const char16_t* r = p;
        while (r < end && *r == ']') ++r;
        if (r == end) return r;
        const size_t brackets = static_cast<size_t>(r - p);
        if (brackets >= 2 && *r == '>') {
            // "]]>" closes the section; extra "]" before it are text.
            text_.Append(p, brackets - 2);
            current_->MutableStringValue().Swap(text_);
            cdataEnd_ = r + 1;
            cdataNode_ = current_;
            match_ = 0;
            EnterText();
            return r + 1;
        }
        text_.Append(p, brackets);
        p = r;
    }
}

const char16_t* XParamParserImpl::OnPiTarget(const char16_t* p) {
    const char16_t* q = SkipXmlName(p, end_);
    if (q == end_) return q;
    if (q == p) return Fail(ParseError::BadSyntax, q);
    const char16_t c = *q;
    if (IsXmlBlank(c)) {
        if (IsLineBreak(c)) NoteLineBreak(q);
        match_ = 0;
        state_ = ReaderState::PiBody;
    } else if (c == '?') {
        state_ = ReaderState::ExpectGt;
    } else {
        return Fail(ParseError::BadSyntax, q);
    }
    return q + 1;
}

const char16_t* XParamParserImpl::OnPiBody(const char16_t* p) {
    for (;;) {
        const char16_t* q = SkipUntilXmlClass<kXmlPiStop>(p, end_);
        if (q > p) match_ = 0;
        if (q == end_) return q;
        const char16_t c = *q;
        if (c == '?') {
            match_ = 1;
        } else if (c == '>' && match_ == 1) {
            EnterText();
            return q + 1;
        } else {
            if (IsLineBreak(c)) NoteLineBreak(q);
            match_ = 0;
        }
        p = q + 1;
    }
}

const char16_t* XParamParserImpl::OnExpectGt(const char16_t* p) {
    if (*p != '>') return Fail(ParseError::BadSyntax, p);
    EnterText();
    return p + 1;
}

}  // namespace xparam
