#include "xparam/xparam_traversal_impl.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_stream.h"
#include "platform/utf_codec.h"
#include "xparam/array_in_res.h"
#include "xparam/text_codec.h"
#include "xparam/x_str_in_res.h"
#include "xparam/xml_writer.h"
#include "xparam/xparam_impl.h"

namespace xparam {

XParamTraversal* CreateXParamTraversal() {
    return new XParamTraversalImpl();
}

namespace {

std::u16string_view View(const char16_t* text) {
    return text ? std::u16string_view(text) : std::u16string_view();
}

std::u16string_view View(const WideString& text) {
    return text.View();
}

// A multi-byte argument in `codePage` as wide text; a failed conversion
// leaves it empty.
WideString Widen(const char* text, unsigned int codePage) {
    WideString wide;
    ToWide(text, -1, codePage, wide);
    return wide;
}

// The UTF-8 form of a wide layout argument, converted as the whole output
// would be.
ByteString Utf8Form(const WideString& text) {
    ByteString bytes;
    if (text.Empty()) return bytes;
    const size_t capacity = size_t(text.Length()) * 3;
    bytes.ReserveUnits(capacity);
    bytes.SetFilledLength(
        corvo::platform::Utf16ToUtf8(text.Data(), text.Length(), bytes.MutableData(), capacity));
    return bytes;
}

std::string_view ByteView(const ByteString& bytes) {
    return {reinterpret_cast<const char*>(bytes.Data()), bytes.Length()};
}

bool IsAscii(const char* text) {
    if (text == nullptr) return true;
    for (; *text; ++text) {
        if (static_cast<unsigned char>(*text) >= 0x80) return false;
    }
    return true;
}

std::basic_string_view<unsigned char> AsciiView(const char* text) {
    if (text == nullptr) return {};
    return {reinterpret_cast<const unsigned char*>(text), std::strlen(text)};
}

// Hands a UTF-8 result to the caller's holder; too long a result is the empty
// text.
const char* FilledUtf8(ByteString& out, int& nLen, XInResSlot& res) {
    if (out.Empty() || out.Length() > static_cast<uint32_t>(INT32_MAX)) return "";
    const ByteString& bytes = XStrInRes<unsigned char>::Fill(res, out);
    nLen = static_cast<int>(bytes.Length());
    return ByteView(bytes).data();
}

// The file form: the declaration, the line break, then the tree.
bool WriteDocument(XParam* root, const char16_t* path, const char* narrowPath,
                   std::u16string_view indent, std::u16string_view lineBreak,
                   std::u16string_view encoding) {
    WideString text;
    const std::u16string_view head = u"<?xml version=\"1.0\" encoding=\"";
    text.Append(head.data(), head.size());
    if (encoding.empty()) encoding = u"utf-8";
    text.Append(encoding.data(), encoding.size());
    text.Append(u"\"?>", 3);
    text.Append(lineBreak.data(), lineBreak.size());
    XmlWriter<char16_t>(indent, lineBreak, text).Write(XParamImpl::From(root));
    if (text.Length() > static_cast<uint32_t>(INT32_MAX)) return false;

    // EncodeText reads the name up to its NUL.
    const WideString name(encoding.data(), encoding.size());
    ByteOrderMark mark{};
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    ConversionState state;
    if (!EncodeText(name.Data(), text.Data(), static_cast<int32_t>(text.Length()), mark, bytes,
                    size, state)) {
        return false;
    }
    corvo::platform::FileStream file = path ? corvo::platform::FileStream::Open(path, "wb+")
                                            : corvo::platform::FileStream::Open(narrowPath, "wb+");
    if (!file) return false;
    bool complete = true;
    if (mark.length > 0) {
        const auto markSize = static_cast<size_t>(mark.length);
        complete = std::fwrite(mark.bytes, 1, markSize, file.get()) == markSize;
    }
    complete = complete && std::fwrite(bytes, 1, size, file.get()) == size;
    return file.Close() && complete;
}

// A document too large for a string, or memory running out, fails the save
// before the file is opened.
bool SaveDocument(XParam* root, const char16_t* path, const char* narrowPath,
                  std::u16string_view indent, std::u16string_view lineBreak,
                  std::u16string_view encoding) {
    if (root == nullptr) return false;
    try {
        return WriteDocument(root, path, narrowPath, indent, lineBreak, encoding);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

namespace {

// One step of the walk's path: a node it has entered and the sibling that
// followed that node when it was visited. Both are counted, so nothing the
// callback does to the tree can free a node the walk still has to look at.
struct WalkStep {
    XRef<XParam> node;
    XRef<XParam> following;
};

XRef<XParam> Held(XParamImpl* node) {
    return XRef<XParam>(node);
}

XParamImpl* Impl(const XRef<XParam>& node) {
    return XParamImpl::From(node.Get());
}

// Where the walk goes after `step` and its subtree: its next sibling while it
// is still a child of `parent`; otherwise the sibling that followed it when
// it was visited, if that one is still a child of `parent`; otherwise nowhere
// (the rest of the parent's children are skipped).
XRef<XParam> After(const WalkStep& step, XParamImpl* parent) {
    XParamImpl* node = Impl(step.node);
    if (node->ParentNode() == parent) return Held(node->NextSiblingNode());
    XParamImpl* following = Impl(step.following);
    if (following != nullptr && following->ParentNode() == parent) return step.following;
    return nullptr;
}

}  // namespace

bool XParamTraversalImpl::Traverse(XParam* pRoot, TraverseCallback callback, void* userData) {
    if (pRoot == nullptr) return false;
    // path[0] is the root; path.back() is the node being visited.
    std::vector<WalkStep> path;
    path.push_back({Held(XParamImpl::From(pRoot)), nullptr});
    for (;;) {
        WalkStep& step = path.back();
        if (path.size() > 1) step.following = Held(Impl(step.node)->NextSiblingNode());
        if (callback && !callback(step.node.Get(), userData)) return false;
        // A node taken out of the parent the walk came from is not entered.
        XParamImpl* const node = Impl(step.node);
        const bool attached =
            path.size() == 1 || node->ParentNode() == Impl(path[path.size() - 2].node);
        if (attached) {
            if (XParamImpl* child = node->FirstChildNode()) {
                path.push_back({Held(child), nullptr});
                continue;
            }
        }
        for (;;) {
            if (path.size() == 1) return true;
            XRef<XParam> next = After(path.back(), Impl(path[path.size() - 2].node));
            if (next) {
                path.back() = {std::move(next), nullptr};
                break;
            }
            path.pop_back();
        }
    }
}

// ToXml's results when the text cannot be made (too large for a string, or
// memory running out): the empty text, as for an absent root, holder untouched.
const char16_t* XParamTraversalImpl::ToXml(XParam* pRoot, int& nLen, const char16_t* pIndent,
                                           const char16_t* pLineBreak, XInResSlot& res) {
    nLen = 0;
    if (pRoot == nullptr) return u"";
    WideString out;
    try {
        XmlWriter<char16_t>(View(pIndent), View(pLineBreak), out).Write(XParamImpl::From(pRoot));
    } catch (const std::bad_alloc&) {
        return u"";
    }
    const WideString& text = XStrInRes<char16_t>::Fill(res, out);
    nLen = static_cast<int>(text.Length() > INT_MAX ? INT_MAX : text.Length());
    return text.Data();
}

const char* XParamTraversalImpl::ToXml(XParam* pRoot, int& nLen, const char* pIndent,
                                       const char* pLineBreak, unsigned int codePage,
                                       XInResSlot& res) {
    nLen = 0;
    if (pRoot == nullptr) return "";
    try {
        return NarrowXml(pRoot, nLen, pIndent, pLineBreak, codePage, res);
    } catch (const std::bad_alloc&) {
        nLen = 0;
        return "";
    }
}

const char* XParamTraversalImpl::NarrowXml(XParam* pRoot, int& nLen, const char* pIndent,
                                           const char* pLineBreak, unsigned int codePage,
                                           XInResSlot& res) {
    if (codePage == corvo::platform::kCodePageUtf8 && IsAscii(pIndent) && IsAscii(pLineBreak)) {
        // ASCII is its own UTF-8 and UTF-16 form: nothing to convert.
        ByteString out;
        XmlWriter<unsigned char>(AsciiView(pIndent), AsciiView(pLineBreak), out)
            .Write(XParamImpl::From(pRoot));
        return FilledUtf8(out, nLen, res);
    }
    const WideString indent = Widen(pIndent, codePage);
    const WideString lineBreak = Widen(pLineBreak, codePage);
    if (codePage == corvo::platform::kCodePageUtf8) {
        // UTF-8 is written directly, without a UTF-16 text to convert.
        const ByteString indentBytes = Utf8Form(indent);
        const ByteString lineBreakBytes = Utf8Form(lineBreak);
        ByteString out;
        XmlWriter<unsigned char>(indentBytes.View(), lineBreakBytes.View(), out)
            .Write(XParamImpl::From(pRoot));
        return FilledUtf8(out, nLen, res);
    }
    WideString text;
    XmlWriter<char16_t>(View(indent), View(lineBreak), text).Write(XParamImpl::From(pRoot));
    if (text.Empty()) return "";
    const int32_t size = BytesFromWide(text.Data(), text.Length(), codePage, nullptr, 0);
    if (size <= 0) return "";
    auto bytes = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(size) + 1);
    if (BytesFromWide(text.Data(), text.Length(), codePage, bytes.get(), size) != size) {
        return "";
    }
    bytes[static_cast<size_t>(size)] = 0;
    nLen = size;
    return ArrayInRes<char>::Put(res, std::move(bytes));
}

bool XParamTraversalImpl::SaveXml(XParam* pRoot, const char16_t* pPath, const char16_t* pIndent,
                                  const char16_t* pLineBreak, const char16_t* pEncoding) {
    if (pPath == nullptr) return false;
    return SaveDocument(pRoot, pPath, nullptr, View(pIndent), View(pLineBreak), View(pEncoding));
}

bool XParamTraversalImpl::SaveXml(XParam* pRoot, const char* pPath, const char* pIndent,
                                  const char* pLineBreak, const char* pEncoding,
                                  unsigned int codePage) {
    if (pPath == nullptr) return false;
    const WideString indent = Widen(pIndent, codePage);
    const WideString lineBreak = Widen(pLineBreak, codePage);
    const WideString encoding = Widen(pEncoding, codePage);
    return SaveDocument(pRoot, nullptr, pPath, View(indent), View(lineBreak), View(encoding));
}

}  // namespace xparam
