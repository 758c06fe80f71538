#include "tools/corvo-sso/xml_tree_json.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

#include "tools/corvo-sso/json_text.h"

namespace corvo::cli {
namespace {

using xparam::NodeKind;
using xparam::ValueKind;
using xparam::XParam;
using xparam::XParamRef;

// ---------------------------------------------------------------------------
// Tree to JSON.

constexpr size_t kFlushAt = 1 << 16;

void AppendValue(XParam* node, std::string& out) {
    if (node->IsEmpty()) {
        out += "null";
        return;
    }
    out += "{\"kind\": ";
    out += std::to_string(static_cast<int>(node->GetKind()));
    out += ", \"text\": ";
    const char16_t* text = nullptr;
    int length = 0;
    xparam::XInResSlot holder;
    if (node->GetValue(text, length, holder))
        AppendJsonString(out, std::u16string_view(text, length > 0 ? size_t(length) : 0));
    else
        out += "null";
    out += '}';
}

// Everything of NODE up to and including the opening bracket of "children".
void AppendNodeHead(XParam* node, std::string& out) {
    const char16_t* name = nullptr;
    int length = 0;
    node->GetName(name, length);
    out += "{\"name\": ";
    AppendJsonString(out, std::u16string_view(name, length > 0 ? size_t(length) : 0));
    out += ", \"node\": ";
    out += std::to_string(static_cast<int>(node->GetNodeKind()));
    out += ", \"value\": ";
    AppendValue(node, out);
    out += ", \"children\": [";
}

void Flush(std::string& buffer, std::FILE* out) {
    if (out && !buffer.empty()) {
        std::fwrite(buffer.data(), 1, buffer.size(), out);
        buffer.clear();
    }
}

// Depth first with one frame per open node: the frame holds the next child
// to write (null when the node's children are done).
void EmitTree(XParam* root, std::string& buffer, std::FILE* out) {
    if (!root) {
        buffer += "null";
        return;
    }
    struct Frame {
        XParamRef next;
        bool first;
    };
    std::vector<Frame> frames;
    AppendNodeHead(root, buffer);
    frames.push_back({XParamRef::Adopt(root->GetFirstChild()), true});
    while (!frames.empty()) {
        Frame& top = frames.back();
        if (!top.next) {
            buffer += "]}";
            frames.pop_back();
            continue;
        }
        XParamRef node = std::move(top.next);
        if (!top.first) buffer += ", ";
        top.first = false;
        top.next = XParamRef::Adopt(node->GetNextSibling());
        AppendNodeHead(node.Get(), buffer);
        frames.push_back({XParamRef::Adopt(node->GetFirstChild()), true});
        if (buffer.size() >= kFlushAt) Flush(buffer, out);
    }
}

// ---------------------------------------------------------------------------
// JSON to tree.

using Json = nlohmann::json;

const char* KindName(int kind) {
    switch (kind) {
        case 0:
            return "Empty";
        case 17:
            return "Char";
        case 18:
            return "UChar";
        case 19:
            return "Short";
        case 20:
            return "UShort";
        case 21:
            return "Int";
        case 22:
            return "UInt";
        case 23:
            return "Int64";
        case 24:
            return "UInt64";
        case 25:
            return "Long";
        case 26:
            return "ULong";
        case 27:
            return "Float";
        case 28:
            return "Double";
        case 29:
            return "LongDouble";
        case 30:
            return "Bool";
        case 49:
            return "Pointer";
        case 50:
            return "SharedPointer";
        case 51:
            return "ComUnknown";
        case 52:
            return "ComDispatch";
        case 80:
            return "String";
        case 81:
            return "Binary";
        default:
            return nullptr;
    }
}

// Where a problem lies, as a JSON pointer into the document.
class Location {
  public:
    void Push(size_t index) { steps_.push_back(index); }
    void Pop() { steps_.pop_back(); }
    std::string Pointer(std::string_view member = {}) const {
        std::string p;
        for (size_t step : steps_) p += "/children/" + std::to_string(step);
        if (!member.empty()) {
            p += '/';
            p += member;
        }
        return p.empty() ? "/" : p;
    }

  private:
    std::vector<size_t> steps_;
};

[[noreturn]] void Fail(const Location& where, std::string_view member, const std::string& what) {
    throw TreeJsonError(what + " at " + where.Pointer(member));
}

template <class T>
T ParseInteger(const std::string& text, const Location& where, const char* kind) {
    T value{};
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, 10);
    if (text.empty() || ec != std::errc() || ptr != end)
        Fail(where, "value/text",
             "bad " + std::string(kind) + " number text \"" + text + "\"" +
                 (ec == std::errc::result_out_of_range ? " (out of range)" : ""));
    return value;
}

template <class T>
T ParseFloating(const std::string& text, const Location& where, const char* kind,
                T (*parse)(const char*, char**)) {
    // strtod and strtof skip leading blanks; the whole text must be the number.
    const bool starts_well = !text.empty() && !std::isspace(static_cast<unsigned char>(text[0]));
    char* end = nullptr;
    errno = 0;
    const T value = starts_well ? parse(text.c_str(), &end) : T{};
    // Underflow to a tiny or zero value is accepted; overflow to infinity is not.
    if (!starts_well || end != text.c_str() + text.size() || (errno == ERANGE && std::isinf(value)))
        Fail(where, "value/text", "bad " + std::string(kind) + " number text \"" + text + "\"");
    return value;
}

std::u16string Wide(const std::string& utf8, const Location& where, std::string_view member) {
    std::u16string out;
    // nlohmann checks UTF-8 while reading; this guards the conversion all the same.
    if (!Utf8ToUtf16Strict(utf8, out)) Fail(where, member, "text that is not valid UTF-8");
    RestoreProtectedUnits(out);
    return out;
}

const std::string& StringMember(const Json& object, const char* member, const Location& where,
                                const std::string& path) {
    const auto it = object.find(member);
    if (it == object.end()) Fail(where, path, std::string("missing \"") + member + "\"");
    if (!it->is_string()) Fail(where, path, std::string("\"") + member + "\" is not a string");
    return it->get_ref<const std::string&>();
}

void SetValueFromJson(XParam* node, const Json& value, const Location& where) {
    if (value.is_null()) return;
    if (!value.is_object()) Fail(where, "value", "the value is neither null nor an object");
    for (const auto& [key, member] : value.items()) {
        if (key != "kind" && key != "text" && key != "hex")
            Fail(where, "value", "unknown value member \"" + key + "\"");
    }
    const auto kindIt = value.find("kind");
    if (kindIt == value.end()) Fail(where, "value", "missing \"kind\"");
    if (!kindIt->is_number_integer()) Fail(where, "value/kind", "\"kind\" is not an integer");
    const long long kind = kindIt->get<long long>();
    const char* kindName = kind >= 0 && kind <= 255 ? KindName(static_cast<int>(kind)) : nullptr;
    if (!kindName) Fail(where, "value/kind", "unknown value kind " + std::to_string(kind));

    if (kind == static_cast<int>(ValueKind::Binary)) {
        if (value.contains("text"))
            Fail(where, "value", "a Binary value takes \"hex\", not \"text\"");
        const std::string& hex = StringMember(value, "hex", where, "value");
        if (hex.size() % 2 != 0) Fail(where, "value/hex", "odd number of hexadecimal digits");
        std::vector<unsigned char> bytes(hex.size() / 2);
        for (size_t i = 0; i < bytes.size(); ++i) {
            const int high = HexDigitValue(hex[2 * i]);
            const int low = HexDigitValue(hex[2 * i + 1]);
            if (high < 0 || low < 0)
                Fail(where, "value/hex", "bad hexadecimal digits \"" + hex + "\"");
            bytes[i] = static_cast<unsigned char>(high << 4 | low);
        }
        node->SetValue(bytes.data(), static_cast<int>(bytes.size()));
        return;
    }
    if (value.contains("hex"))
        Fail(where, "value", std::string("a ") + kindName + " value takes \"text\", not \"hex\"");
    if (kind == 0) {
        const auto text = value.find("text");
        if (text != value.end() && !text->is_null())
            Fail(where, "value/text", "an Empty value has no text");
        return;
    }
    if (kind >= 49 && kind <= 78)
        Fail(where, "value/kind",
             std::string("value kind ") + std::to_string(kind) + " (" + kindName +
                 ") cannot be given in JSON");
    const std::string& text = StringMember(value, "text", where, "value");
    switch (static_cast<ValueKind>(kind)) {
        case ValueKind::Char:
            node->SetValue(static_cast<char>(ParseInteger<signed char>(text, where, kindName)));
            break;
        case ValueKind::UChar:
            node->SetValue(ParseInteger<unsigned char>(text, where, kindName));
            break;
        case ValueKind::Short:
            node->SetValue(ParseInteger<short>(text, where, kindName));
            break;
        case ValueKind::UShort:
            node->SetValue(ParseInteger<unsigned short>(text, where, kindName));
            break;
        case ValueKind::Int:
            node->SetValue(ParseInteger<int>(text, where, kindName));
            break;
        case ValueKind::UInt:
            node->SetValue(ParseInteger<unsigned int>(text, where, kindName));
            break;
        case ValueKind::Int64:
            node->SetValue(ParseInteger<long long>(text, where, kindName));
            break;
        case ValueKind::UInt64:
            node->SetValue(ParseInteger<unsigned long long>(text, where, kindName));
            break;
        case ValueKind::Long:
            node->SetValue(ParseInteger<long>(text, where, kindName));
            break;
        case ValueKind::ULong:
            node->SetValue(ParseInteger<unsigned long>(text, where, kindName));
            break;
        case ValueKind::Float:
            node->SetValue(ParseFloating<float>(text, where, kindName, std::strtof));
            break;
        case ValueKind::Double:
            node->SetValue(ParseFloating<double>(text, where, kindName, std::strtod));
            break;
        case ValueKind::LongDouble:
            node->SetValue(static_cast<long double>(
                ParseFloating<double>(text, where, kindName, std::strtod)));
            break;
        case ValueKind::Bool:
            if (text == "true" || text == "1")
                node->SetValue(true);
            else if (text == "false" || text == "0")
                node->SetValue(false);
            else
                Fail(where, "value/text", "bad Bool text \"" + text + "\" (true, false, 1 or 0)");
            break;
        case ValueKind::String: {
            const std::u16string wide = Wide(text, where, "value/text");
            node->SetValue(wide.data(), static_cast<int>(wide.size()));
            break;
        }
        default:
            Fail(where, "value/kind", "unknown value kind " + std::to_string(kind));
    }
}

// One node without its children; returns the "children" array (or null).
const Json* FillNode(XParam* node, const Json& object, const Location& where) {
    if (!object.is_object()) Fail(where, "", "a node is not a JSON object");
    for (const auto& [key, member] : object.items()) {
        if (key != "name" && key != "node" && key != "value" && key != "children")
            Fail(where, "", "unknown node member \"" + key + "\"");
    }
    const std::u16string name = Wide(StringMember(object, "name", where, ""), where, "name");
    node->SetName(name.data(), static_cast<int>(name.size()));
    if (const auto kind = object.find("node"); kind != object.end()) {
        if (!kind->is_number_integer()) Fail(where, "node", "\"node\" is not an integer");
        const long long code = kind->get<long long>();
        if (code < 0 || code > 2)
            Fail(where, "node", "unknown node kind " + std::to_string(code) + " (0, 1 or 2)");
        node->SetNodeKind(static_cast<NodeKind>(code));
    }
    if (const auto value = object.find("value"); value != object.end())
        SetValueFromJson(node, *value, where);
    const auto children = object.find("children");
    if (children == object.end() || children->is_null()) return nullptr;
    if (!children->is_array()) Fail(where, "children", "\"children\" is not an array");
    return &*children;
}

}  // namespace

void WriteTreeJson(XParam* root, std::FILE* out) {
    std::string buffer;
    EmitTree(root, buffer, out);
    Flush(buffer, out);
}

void AppendTreeJson(XParam* root, std::string& out) {
    EmitTree(root, out, nullptr);
}

XParamRef BuildTreeFromJson(const Json& json) {
    struct Frame {
        const Json* children;
        size_t next;
        XParam* node;  // owned through `root`
    };
    Location where;
    XParamRef root = XParamRef::Adopt(xparam::CreateXParam());
    std::vector<Frame> frames;
    frames.push_back({FillNode(root.Get(), json, where), 0, root.Get()});
    while (!frames.empty()) {
        Frame& top = frames.back();
        if (!top.children || top.next >= top.children->size()) {
            frames.pop_back();
            if (!frames.empty()) where.Pop();
            continue;
        }
        const Json& child = (*top.children)[top.next];
        where.Push(top.next++);
        XParamRef node = XParamRef::Adopt(xparam::CreateXParam());
        top.node->AppendChild(node.Get());
        frames.push_back({FillNode(node.Get(), child, where), 0, node.Get()});
    }
    return root;
}

}  // namespace corvo::cli
