// XmlWriter: appends the XML form of a tree to a library string, as UTF-16
// (Unit = char16_t) or directly as UTF-8 (Unit = unsigned char).
//
// The walk follows child, sibling and parent links instead of recursing, so
// the depth of a tree does not touch the call stack. A text containing "]]>"
// in a CData node is written as consecutive CDATA sections split inside the
// delimiter ("]]" ends one section, ">" starts the next); the reader joins
// such adjacent sections again.
//
// Output goes through a raw cursor into a buffer reserved ahead and grown
// geometrically; the string's length is set once at the end. The UTF-8 form
// encodes each piece of tree text as it is written: a surrogate pair becomes
// one four-byte sequence and a lone surrogate becomes U+FFFD (EF BF BD), so
// the bytes equal the UTF-16 form converted as a whole (markup between two
// pieces is ASCII, so no pair is ever split across pieces).
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "xparam/short_copy.h"
#include "xparam/wide_string.h"
#include "xparam/xparam_impl.h"

namespace xparam {

template <typename Unit>
class XmlWriter {
  public:
    using Text = BasicWideString<Unit>;
    using View = std::basic_string_view<Unit>;

    // `indentUnit` and `lineBreak` are already in the output form.
    XmlWriter(View indentUnit, View lineBreak, Text& out)
        : unit_(indentUnit), lineBreak_(lineBreak), out_(out) {}

    // Appends `root` and its subtree at empty indentation. Output beyond what
    // a string holds, or memory running out, throws std::bad_alloc; the
    // library's entry points turn that into their failure result.
    void Write(XParamImpl* root);

  private:
    // Writes the start tag with attributes; a node without element children is
    // written whole. Returns true when the node has element children (its
    // value line is written too, and its end tag is left to WriteEndTag).
    bool WriteStart(XParamImpl* node);
    void WriteEndTag(XParamImpl* node);
    // The node's text form, as CDATA or escaped; nothing without one. With
    // `ownLine` the text stands on a line of its own one level deeper.
    void WriteValue(XParamImpl* node, bool asCdata, bool ownLine);
    // Element text and attribute values: & < > " ' and the control units other
    // than TAB, LF and CR become references.
    void PutEscaped(const char16_t* text, size_t length);
    // One or more CDATA sections holding `text` unchanged.
    void PutCdata(const char16_t* text, size_t length);

    // Tree text, converted to the output form.
    void PutText(const char16_t* text, size_t length);
    void PutText(const WideString& text) { PutText(text.Data(), text.Length()); }
    // One piece of tree text as UTF-8 (Unit = unsigned char only).
    void PutUtf8Piece(const char16_t* text, size_t length);
    // Units already in the output form.
    void PutUnits(const Unit* units, size_t length) {
        Room(length);
        CopyShort(cur_, units, length * sizeof(Unit));
        cur_ += length;
    }
    void PutUnits(View units) { PutUnits(units.data(), units.size()); }
    void Put(char ascii) {
        Room(1);
        *cur_++ = static_cast<Unit>(ascii);
    }
    template <size_t N>
    void Put(const char (&ascii)[N]) {
        Room(N - 1);
        for (size_t k = 0; k + 1 < N; ++k) cur_[k] = static_cast<Unit>(ascii[k]);
        cur_ += N - 1;
    }
    void Room(size_t units) {
        if (static_cast<size_t>(end_ - cur_) < units) Grow(units);
    }
    void Grow(size_t units);

    View unit_;
    View lineBreak_;
    Text& out_;
    std::vector<Unit> indent_;
    Unit* base_ = nullptr;
    Unit* cur_ = nullptr;
    Unit* end_ = nullptr;
};

extern template class XmlWriter<char16_t>;
extern template class XmlWriter<unsigned char>;

}  // namespace xparam
