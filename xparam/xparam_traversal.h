// XParamTraversal: turns an XParam tree into XML (wide text, text in a code
// page, or a file with declaration and byte-order mark) and walks a tree with
// a caller's callback. The traversal object keeps no state, so one object can
// serve any number of trees, one call at a time per tree.
//
// The XML form: a named node is an element; its children of kind Attribute
// are its attributes (in list order), every other child is an element child;
// a node with an empty name contributes only its element children. Values are
// written as their text form (escaped, or as CDATA for a node of kind CData).
// Each element line starts with the indentation (the indent unit once per
// level) and ends with the line break.
#pragma once

#include "xparam/x_in_res.h"
#include "xparam/xparam.h"

namespace xparam {

// Called by Traverse for every node; returning false stops the walk.
using TraverseCallback = bool (*)(XParam* node, void* userData);

class XParamTraversal {
  public:
    virtual ~XParamTraversal() = default;

    // Depth-first walk in document order, attributes included. Returns false
    // when the callback stopped the walk or the root is absent.
    virtual bool Traverse(XParam* pRoot, TraverseCallback callback, void* userData) = 0;
    // The XML text converted to `codePage` (indent unit and line break are
    // zero-terminated strings in that code page); the buffer goes to `res`.
    // An absent root or a failed conversion gives "" and length 0.
    virtual const char* ToXml(XParam* pRoot, int& nLen, const char* pIndent, const char* pLineBreak,
                              unsigned int codePage, XInResSlot& res) = 0;
    // The XML text as UTF-16; the buffer goes to `res`.
    virtual const char16_t* ToXml(XParam* pRoot, int& nLen, const char16_t* pIndent,
                                  const char16_t* pLineBreak, XInResSlot& res) = 0;
    // Writes the declaration naming `pEncoding` ("utf-8" when empty) and the
    // tree to the file at `pPath`, encoded as the name selects, with a
    // byte-order mark for UTF-8 and UTF-16. False when the root is absent,
    // the text cannot be encoded, the file cannot be opened or a write is
    // short.
    virtual bool SaveXml(XParam* pRoot, const char16_t* pPath, const char16_t* pIndent,
                         const char16_t* pLineBreak, const char16_t* pEncoding) = 0;
    // As above with multi-byte strings in `codePage`; the path goes to the
    // file system unchanged.
    virtual bool SaveXml(XParam* pRoot, const char* pPath, const char* pIndent,
                         const char* pLineBreak, const char* pEncoding, unsigned int codePage) = 0;

    virtual void AddRef() = 0;
    virtual void Release() = 0;
};

using XParamTraversalRef = XRef<XParamTraversal>;

// A new traversal holding one reference.
XParamTraversal* CreateXParamTraversal();

}  // namespace xparam
