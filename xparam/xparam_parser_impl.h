// XParamParserImpl: the XML reader, a character-driven state machine over
// UTF-16 code units.
//
// Each state has a handler that consumes characters in runs until the state
// changes, the input ends or a character is refused. Names, character data and
// attribute values are appended to their strings a run at a time; references
// are decoded in place from the input. Nesting is followed through the current
// node and its parent link, so the reader keeps no stack and the depth of a
// document is limited only by memory.
//
// Line and column are kept without touching every character: the handlers
// report each line break they pass, and the column is the distance from the
// start of the line.
#pragma once

#include <cstdint>

#include "xparam/page_arena.h"
#include "xparam/ref_counter_base.h"
#include "xparam/wide_string.h"
#include "xparam/xparam_impl.h"
#include "xparam/xparam_parser.h"

namespace xparam {

enum class ReaderState : uint8_t {
    Text,
    TagOpen,
    ElementName,
    AttributeList,
    AttributeName,
    BeforeEquals,
    BeforeValue,
    AttributeValue,
    TagClose,
    EndTagName,
    Bang,
    Declaration,
    CommentStart,
    Comment,
    CdataKeyword,
    Cdata,
    PiTarget,
    PiBody,
    ExpectGt,
};

class XParamParserImpl : public ref_counter_base<XParamParser, XParamParserImpl> {
  public:
    XParamParserImpl() = default;
    ~XParamParserImpl() override = default;

    bool ParseText(const char* pText, int32_t nLen, unsigned int codePage) override;
    bool ParseText(const char16_t* pText, int32_t nLen) override;
    bool ParseBytes(const uint8_t* pData, int32_t nSize) override;
    bool ParseFile(const char* pPath) override;
    bool ParseFile(const char16_t* pPath) override;
    int32_t GetLine() override { return line_; }
    int32_t GetColumn() override { return column_; }
    uint32_t GetPosition() override { return position_; }
    ParseError GetError() override { return error_; }
    XParam* GetRoot() override;
    XParam* DetachRoot() override;

    // Starts over: line 1, column 0, empty buffers, a new empty document node
    // that is also the current node, state Text, no error.
    virtual void Reset();

  private:
    friend class ref_counter_base<XParamParser, XParamParserImpl>;

    // Steps 3-6 of a parse of UTF-16 text, after Reset and the empty test.
    bool Run(const char16_t* text, size_t length);
    bool ParseBlock(const uint8_t* data, size_t size);
    bool FailBeforeParse(ParseError error);

    // The handlers. Each takes the cursor and returns it after the characters
    // it consumed; a refusal sets error_ and returns the position after the
    // offending character.
    const char16_t* OnText(const char16_t* p);
    const char16_t* OnTagOpen(const char16_t* p);
    const char16_t* OnElementName(const char16_t* p);
    // The rest of a start tag after the element's name.
    const char16_t* OnStartTagRest(const char16_t* p);
    const char16_t* OnAttributeList(const char16_t* p);
    const char16_t* OnAttributeName(const char16_t* p);
    const char16_t* OnBeforeEquals(const char16_t* p);
    const char16_t* OnBeforeValue(const char16_t* p);
    const char16_t* OnAttributeValue(const char16_t* p);
    const char16_t* OnTagClose(const char16_t* p);
    const char16_t* OnEndTagName(const char16_t* p);
    const char16_t* OnBang(const char16_t* p);
    const char16_t* OnDeclaration(const char16_t* p);
    const char16_t* OnCommentStart(const char16_t* p);
    const char16_t* OnComment(const char16_t* p);
    const char16_t* OnCdataKeyword(const char16_t* p);
    const char16_t* OnCdata(const char16_t* p);
    const char16_t* OnPiTarget(const char16_t* p);
    const char16_t* OnPiBody(const char16_t* p);
    const char16_t* OnExpectGt(const char16_t* p);

    // Shared steps.
    const char16_t* Fail(ParseError error, const char16_t* offending);
    // Skips blanks, noting line breaks; returns the first other unit or end.
    const char16_t* SkipBlanks(const char16_t* p);
    // A reference opened by the "&" at `amp`: decodes it into `target` (or
    // drops the unit when `target` is null) and returns the cursor after its
    // ";". `closer` is the unit that may not appear inside it ("<" in text,
    // the quote in an attribute value). Returns end when the input ends first.
    const char16_t* ReadReference(const char16_t* amp, char16_t closer, WideString* target);
    // Appends the run of name characters at `p` to the current node's name.
    const char16_t* ExtendName(const char16_t* p);
    // Step 6 on the character data `d` (`length` units): the trimmed text
    // becomes the current node's value when the rules allow.
    void CommitText(const char16_t* d, size_t length);
    void CloseElement();
    void EnterText();
    XParamImpl* NewChild();
    // Called for every CR or LF that a handler consumes: a LF, or a CR not
    // followed by a LF, ends a line.
    void NoteLineBreak(const char16_t* p) {
        if (*p == '\r' && p + 1 < end_ && p[1] == '\n') return;
        ++lineBreaks_;
        previousLineStart_ = lineStart_;
        lineStart_ = p + 1;
    }
    void SettlePosition(const char16_t* cursor);

    int32_t line_ = 1;
    int32_t column_ = 0;
    uint32_t consumedBefore_ = 0;
    uint32_t position_ = 0;
    const char16_t* begin_ = nullptr;
    const char16_t* end_ = nullptr;
    // Line tracking while a parse runs.
    int32_t lineBreaks_ = 0;
    const char16_t* lineStart_ = nullptr;
    const char16_t* previousLineStart_ = nullptr;
    bool dropLineBreaks_ = true;
    // Character data or an attribute value that could not be taken straight
    // from the input (references, dropped line breaks).
    WideString text_;
    // Where the nodes, names and texts of the documents read are placed.
    PageArena arena_;
    XRef<XParamImpl> root_;
    // The node that children, text and values go to. While a parse runs it is
    // a plain pointer (the document node owns it); a failed parse keeps it as
    // a counted reference.
    XParamImpl* current_ = nullptr;
    XRef<XParamImpl> heldCurrent_;
    ReaderState state_ = ReaderState::Text;
    ParseError error_ = ParseError::None;
    int32_t match_ = 0;
    char16_t quote_ = 0;
    // CDATA keyword matching without a copy: units seen and whether they
    // still spell "CDATA".
    uint32_t keywordLength_ = 0;
    bool keywordIsCdata_ = false;
    // Where the markup now being read began (its "<") and where the last
    // CDATA section ended (after its ">"), to join adjacent sections.
    const char16_t* markupStart_ = nullptr;
    const char16_t* cdataEnd_ = nullptr;
    XParamImpl* cdataNode_ = nullptr;
};

}  // namespace xparam
