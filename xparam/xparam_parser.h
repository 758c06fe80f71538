// XParamParser: reads XML text into a tree of XParam nodes.
//
// Every parse starts a new document node: a node with an empty name whose
// children are the document's top-level elements (GetDocumentElement on it
// gives the document element). The reader never throws for bad input: an
// entry point returns false and GetError, GetLine, GetColumn and GetPosition
// tell what and where; the tree built up to the failure stays available.
//
// Lengths are 32-bit signed counts; -1 means "up to the first NUL" (a zero
// code unit or byte); any other negative length counts as empty input.
#pragma once

#include <cstdint>

#include "xparam/xparam.h"

namespace xparam {

enum class ParseError : int32_t {
    None = 0,
    NoRoot = 3,           // a parse ran with no document node
    NoCurrent = 4,        // a parse ran with no current node
    BadEntity = 5,        // undecodable reference, or markup / closing quote inside one
    BadSyntax = 6,        // a character not allowed where it stands
    TagMismatch = 7,      // an end tag with an empty or different name
    BadEncoding = 9,      // byte input whose encoding cannot be settled or decoded
    FileUnreadable = 12,  // the file cannot be opened or read whole
};

class XParamParser {
  public:
    virtual ~XParamParser() = default;

    // Multi-byte text in `codePage` (0: the system's default code page).
    virtual bool ParseText(const char* pText, int32_t nLen, unsigned int codePage) = 0;
    // UTF-16 text, `nLen` code units.
    virtual bool ParseText(const char16_t* pText, int32_t nLen) = 0;
    // Raw document bytes; the encoding comes from the byte-order mark or the
    // XML declaration (UTF-8 by default). At least 4 bytes are needed.
    virtual bool ParseBytes(const uint8_t* pData, int32_t nSize) = 0;
    virtual bool ParseFile(const char* pPath) = 0;
    virtual bool ParseFile(const char16_t* pPath) = 0;

    // Where the last character read lies (1-based line; column 0 before any).
    virtual int32_t GetLine() = 0;
    virtual int32_t GetColumn() = 0;
    // UTF-16 code units consumed from the start of the decoded text, the
    // offending character included after a failure.
    virtual uint32_t GetPosition() = 0;
    virtual ParseError GetError() = 0;

    // A new reference to the document node, or null before the first parse
    // and after DetachRoot.
    virtual XParam* GetRoot() = 0;
    // Hands the document node to the caller; the parser keeps none.
    virtual XParam* DetachRoot() = 0;

    virtual void AddRef() = 0;
    virtual void Release() = 0;
};

using XParamParserRef = XRef<XParamParser>;

// A new parser holding one reference; no document node until the first parse.
XParamParser* CreateXParamParser();

}  // namespace xparam
