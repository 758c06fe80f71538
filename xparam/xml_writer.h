// XmlWriter: appends the XML form of a tree to a wide string.
//
// The walk follows child, sibling and parent links instead of recursing, so
// the depth of a tree does not touch the call stack. A text containing "]]>"
// in a CData node is written as consecutive CDATA sections split inside the
// delimiter ("]]" ends one section, ">" starts the next); the reader joins
// such adjacent sections again.
#pragma once

#include <cstddef>
#include <string_view>

#include "xparam/wide_string.h"
#include "xparam/xparam_impl.h"

namespace xparam {

class XmlWriter {
  public:
    XmlWriter(std::u16string_view indentUnit, std::u16string_view lineBreak, WideString& out)
        : unit_(indentUnit), lineBreak_(lineBreak), out_(out) {}

    // Writes `root` and its subtree at empty indentation.
    void Write(XParamImpl* root);

    // Element text and attribute values: & < > " ' and the control units other
    // than TAB, LF and CR become references.
    static void AppendEscaped(WideString& out, const char16_t* text, size_t length);
    // One or more CDATA sections holding `text` unchanged.
    static void AppendCdata(WideString& out, const char16_t* text, size_t length);

  private:
    // Writes the start tag with attributes; a node without element children is
    // written whole. Returns true when the node has element children (its
    // value line is written too, and its end tag is left to WriteEndTag).
    bool WriteStart(XParamImpl* node);
    void WriteEndTag(XParamImpl* node);
    // The node's text form, as CDATA or escaped; nothing without one. With
    // `ownLine` the text stands on a line of its own one level deeper.
    // Returns whether the value has a text form.
    bool AppendValue(XParamImpl* node, bool asCdata, bool ownLine);
    void Append(std::u16string_view text) { out_.Append(text.data(), text.size()); }
    void Append(const WideString& text) { out_.Append(text.Data(), text.Length()); }

    std::u16string_view unit_;
    std::u16string_view lineBreak_;
    WideString& out_;
    WideString indent_;
};

}  // namespace xparam
