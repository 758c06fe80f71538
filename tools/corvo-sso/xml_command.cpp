#include "tools/corvo-sso/xml_command.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/corvo-sso/cli_common.h"
#include "tools/corvo-sso/json_text.h"
#include "tools/corvo-sso/xml_tree_json.h"
#include "xparam/xparam.h"
#include "xparam/xparam_parser.h"
#include "xparam/xparam_traversal.h"

namespace corvo::cli {
namespace {

using xparam::XParam;
using xparam::XParamRef;

// ---------------------------------------------------------------------------
// Input.

struct InputMode {
    enum Kind { Bytes, Utf16, File, CodePage } kind = Bytes;
    uint32_t codePage = 0;
};

InputMode ParseInputMode(const std::string& text) {
    if (text == "bytes") return {InputMode::Bytes, 0};
    if (text == "utf16") return {InputMode::Utf16, 0};
    if (text == "file") return {InputMode::File, 0};
    constexpr std::string_view kPrefix = "codepage=";
    if (text.compare(0, kPrefix.size(), kPrefix) == 0) {
        const char* begin = text.data() + kPrefix.size();
        const char* end = text.data() + text.size();
        uint32_t codePage = 0;
        auto [ptr, ec] = std::from_chars(begin, end, codePage, 10);
        if (begin != end && ec == std::errc() && ptr == end) return {InputMode::CodePage, codePage};
    }
    Usage("bad input mode \"" + text +
          "\" (bytes, utf16, file or codepage=N with N a decimal number)");
}

// The whole content of a file, or of standard input for "-".
std::vector<uint8_t> ReadInput(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> owned(nullptr, std::fclose);
    std::FILE* in = stdin;
    if (path != "-") {
        owned.reset(std::fopen(path.c_str(), "rb"));
        if (!owned) Usage("cannot open " + path + ": " + std::strerror(errno));
        in = owned.get();
    }
    std::vector<uint8_t> data;
    uint8_t chunk[1 << 16];
    for (;;) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, in);
        data.insert(data.end(), chunk, chunk + got);
        if (got < sizeof chunk) break;
    }
    if (std::ferror(in)) Usage("cannot read " + path);
    if (data.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        Usage(path + " is too large (more than 2 GiB)");
    return data;
}

// Parses FILE as `mode` says; the parser keeps the outcome.
bool ParseInput(xparam::XParamParser& parser, const InputMode& mode, const std::string& path) {
    if (mode.kind == InputMode::File) {
        if (path == "-") Usage("--as file needs a file name, not \"-\"");
        return parser.ParseFile(path.c_str());
    }
    const std::vector<uint8_t> data = ReadInput(path);
    const auto size = static_cast<int32_t>(data.size());
    switch (mode.kind) {
        case InputMode::Utf16: {
            if (data.size() % 2 != 0)
                Usage(path + " has an odd number of bytes for UTF-16LE input");
            std::vector<char16_t> units(data.size() / 2);
            for (size_t i = 0; i < units.size(); ++i)
                units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
            return parser.ParseText(units.data(), static_cast<int32_t>(units.size()));
        }
        case InputMode::CodePage:
            return parser.ParseText(reinterpret_cast<const char*>(data.data()), size,
                                    mode.codePage);
        default:
            return parser.ParseBytes(data.data(), size);
    }
}

xparam::XParamParserRef NewParser() {
    return xparam::XParamParserRef::Adopt(xparam::CreateXParamParser());
}

// ---------------------------------------------------------------------------
// xml parse

int RunParse(const std::string& modeText, const std::string& path) {
    const InputMode mode = ParseInputMode(modeText);
    xparam::XParamParserRef parser = NewParser();
    const bool ok = ParseInput(*parser, mode, path);
    std::string head = "{\"ok\": ";
    head += ok ? "true" : "false";
    head += ", \"error\": " + std::to_string(static_cast<int32_t>(parser->GetError()));
    head += ", \"line\": " + std::to_string(parser->GetLine());
    head += ", \"column\": " + std::to_string(parser->GetColumn());
    head += ", \"position\": " + std::to_string(parser->GetPosition());
    head += ", \"root\": ";
    std::fwrite(head.data(), 1, head.size(), stdout);
    XParamRef root = XParamRef::Adopt(parser->GetRoot());
    WriteTreeJson(root.Get(), stdout);
    std::fputs("}\n", stdout);
    return ok ? kExitOk : kExitFailed;
}

// ---------------------------------------------------------------------------
// xml write

// The escapes \t \r \n \\ of --indent and --newline.
std::u16string Unescape(const std::string& text, const char* option) {
    std::string raw;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            raw += text[i];
            continue;
        }
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        switch (next) {
            case 't':
                raw += '\t';
                break;
            case 'r':
                raw += '\r';
                break;
            case 'n':
                raw += '\n';
                break;
            case '\\':
                raw += '\\';
                break;
            default:
                Usage(std::string("bad escape in ") + option +
                      " (only \\t, \\r, \\n and \\\\ are known)");
        }
        ++i;
    }
    std::u16string wide;
    if (!Utf8ToUtf16Strict(raw, wide)) Usage(std::string(option) + " is not valid UTF-8");
    return wide;
}

struct WriteOptions {
    std::string indent = "\\t";
    std::string newline = "\\r\\n";
    std::string save;
    std::string encoding;
    bool utf16 = false;
    std::string tree;
};

std::string InputLabel(const std::string& path) {
    return path == "-" ? std::string("standard input") : path;
}

XParamRef ReadTree(const std::string& path) {
    const std::vector<uint8_t> data = ReadInput(path);
    nlohmann::json json;
    try {
        json = nlohmann::json::parse(ProtectLoneSurrogates(
            std::string_view(reinterpret_cast<const char*>(data.data()), data.size())));
    } catch (const nlohmann::json::exception& e) {
        Usage(InputLabel(path) + " is not valid JSON: " + e.what());
    }
    try {
        return BuildTreeFromJson(json);
    } catch (const TreeJsonError& e) {
        Usage(InputLabel(path) + ": " + e.what());
    }
}

int RunWrite(const WriteOptions& options) {
    const std::u16string indent = Unescape(options.indent, "--indent");
    const std::u16string newline = Unescape(options.newline, "--newline");
    std::u16string savePath, encoding;
    if (!Utf8ToUtf16Strict(options.save, savePath)) Usage("the --save path is not valid UTF-8");
    if (!Utf8ToUtf16Strict(options.encoding, encoding))
        Usage("the --encoding name is not valid UTF-8");
    const XParamRef root = ReadTree(options.tree);
    auto traversal = xparam::XParamTraversalRef::Adopt(xparam::CreateXParamTraversal());
    if (!options.save.empty()) {
        if (!traversal->SaveXml(root.Get(), savePath.c_str(), indent.c_str(), newline.c_str(),
                                encoding.c_str()))
            Fail("could not write " + options.save);
        return kExitOk;
    }
    int length = 0;
    xparam::XInResSlot holder;
    const char16_t* text =
        traversal->ToXml(root.Get(), length, indent.c_str(), newline.c_str(), holder);
    const std::u16string_view xml(text, length > 0 ? static_cast<size_t>(length) : 0);
    if (options.utf16) {
        std::string bytes;
        bytes.reserve(xml.size() * 2);
        for (char16_t unit : xml) {
            bytes += static_cast<char>(unit & 0xff);
            bytes += static_cast<char>(unit >> 8);
        }
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    } else {
        const std::string utf8 = Utf16ToUtf8Lenient(xml);
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    }
    return kExitOk;
}

// ---------------------------------------------------------------------------
// xml get

struct PathStep {
    std::u16string name;
    int occurrence = 0;
    std::string text;  // as written, for messages
};

// "a/b[2]/c": names separated by "/", each optionally followed by "[n]".
std::vector<PathStep> ParsePath(const std::string& path) {
    std::vector<PathStep> steps;
    size_t start = 0;
    for (;;) {
        const size_t slash = path.find('/', start);
        std::string step = path.substr(start, slash == std::string::npos ? slash : slash - start);
        PathStep parsed;
        parsed.text = step;
        std::string name = step;
        if (!step.empty() && step.back() == ']') {
            const size_t open = step.rfind('[');
            const char* begin = step.data() + (open == std::string::npos ? 0 : open + 1);
            const char* end = step.data() + step.size() - 1;
            auto [ptr, ec] = std::from_chars(begin, end, parsed.occurrence, 10);
            if (open == std::string::npos || begin == end || ec != std::errc() || ptr != end ||
                parsed.occurrence < 0)
                Usage("bad occurrence in path step \"" + step + "\"");
            name = step.substr(0, open);
        }
        if (name.empty()) Usage("empty name in path \"" + path + "\"");
        if (!Utf8ToUtf16Strict(name, parsed.name))
            Usage("path step \"" + step + "\" is not valid UTF-8");
        steps.push_back(std::move(parsed));
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return steps;
}

std::string FormatDouble(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

template <class T>
std::optional<std::string> GetInteger(XParam* node) {
    T value{};
    if (!node->GetValue(value)) return std::nullopt;
    return std::to_string(value);
}

template <class T>
std::optional<std::string> GetFloating(XParam* node) {
    T value{};
    if (!node->GetValue(value)) return std::nullopt;
    return FormatDouble(static_cast<double>(value));
}

using Getter = std::function<std::optional<std::string>(XParam*)>;

const std::vector<std::pair<std::string, Getter>>& Getters() {
    static const std::vector<std::pair<std::string, Getter>> getters = {
        {"char",
         [](XParam* node) -> std::optional<std::string> {
             char value = 0;
             if (!node->GetValue(value)) return std::nullopt;
             return std::to_string(static_cast<int>(static_cast<signed char>(value)));
         }},
        {"uchar",
         [](XParam* node) -> std::optional<std::string> {
             unsigned char value = 0;
             if (!node->GetValue(value)) return std::nullopt;
             return std::to_string(static_cast<unsigned>(value));
         }},
        {"short", GetInteger<short>},
        {"ushort", GetInteger<unsigned short>},
        {"int", GetInteger<int>},
        {"uint", GetInteger<unsigned int>},
        {"int64", GetInteger<long long>},
        {"uint64", GetInteger<unsigned long long>},
        {"long", GetInteger<long>},
        {"ulong", GetInteger<unsigned long>},
        {"float", GetFloating<float>},
        {"double", GetFloating<double>},
        {"longdouble", GetFloating<long double>},
        {"bool",
         [](XParam* node) -> std::optional<std::string> {
             bool value = false;
             if (!node->GetValue(value)) return std::nullopt;
             return value ? "true" : "false";
         }},
        {"text",
         [](XParam* node) -> std::optional<std::string> {
             const char16_t* text = nullptr;
             int length = 0;
             xparam::XInResSlot holder;
             if (!node->GetValue(text, length, holder)) return std::nullopt;
             return Utf16ToUtf8Lenient(
                 std::u16string_view(text, length > 0 ? static_cast<size_t>(length) : 0));
         }},
        {"bytes",
         [](XParam* node) -> std::optional<std::string> {
             const unsigned char* data = nullptr;
             int length = 0;
             xparam::XInResSlot holder;
             if (!node->GetValue(data, length, holder)) return std::nullopt;
             return HexOf(data, length > 0 ? static_cast<size_t>(length) : 0);
         }},
    };
    return getters;
}

std::vector<std::string> GetterNames() {
    std::vector<std::string> names;
    for (const auto& [name, getter] : Getters()) names.push_back(name);
    return names;
}

struct GetOptions {
    std::string file;
    std::string path;
    std::string type;
    std::string input = "bytes";
};

int RunGet(const GetOptions& options) {
    const InputMode mode = ParseInputMode(options.input);
    const std::vector<PathStep> steps = ParsePath(options.path);
    const Getter* getter = nullptr;
    for (const auto& [name, candidate] : Getters())
        if (name == options.type) getter = &candidate;
    if (!getter) Usage("unknown type \"" + options.type + "\"");

    xparam::XParamParserRef parser = NewParser();
    if (!ParseInput(*parser, mode, options.file)) {
        Fail(options.file + " does not parse: error " +
             std::to_string(static_cast<int32_t>(parser->GetError())) + " at line " +
             std::to_string(parser->GetLine()) + ", column " + std::to_string(parser->GetColumn()));
    }
    XParamRef node = XParamRef::Adopt(parser->GetRoot());
    for (size_t i = 0; i < steps.size(); ++i) {
        const PathStep& step = steps[i];
        node = XParamRef::Adopt(node->GetFirstChild(
            step.name.data(), static_cast<int>(step.name.size()), step.occurrence));
        if (!node)
            Usage("path step " + std::to_string(i + 1) + " \"" + step.text + "\" of \"" +
                  options.path + "\" not found");
    }
    const std::optional<std::string> value = (*getter)(node.Get());
    if (!value) {
        std::cout << "fail\n";
        return kExitFailed;
    }
    std::cout << *value << "\n";
    return kExitOk;
}

}  // namespace

void AddXmlCommand(CLI::App& app, int& exitCode) {
    auto* xml = app.add_subcommand("xml", "Read and write XParam XML (needs no control)");
    xml->require_subcommand(1);

    auto* parse =
        xml->add_subcommand("parse",
                            "Parse FILE and print the outcome and the tree as one JSON object "
                            "(exit 1 when the parse fails)");
    auto parseMode = std::make_shared<std::string>("bytes");
    auto parseFile = std::make_shared<std::string>();
    parse->add_option("--as", *parseMode,
                      "How FILE is read: bytes (encoding sniffed), utf16 (UTF-16LE code units), "
                      "file (read by the parser), codepage=N (text in code page N)");
    parse->add_option("FILE", *parseFile, "The document; - for standard input")->required();
    parse->callback([&exitCode, parseMode, parseFile] {
        exitCode = RunGuarded([&] { return RunParse(*parseMode, *parseFile); });
    });

    auto* write = xml->add_subcommand(
        "write", "Build a tree from a JSON NODE and print its XML text, or save it as a file");
    auto writeOptions = std::make_shared<WriteOptions>();
    write->add_option("--indent", writeOptions->indent,
                      "Indent unit; escapes \\t \\r \\n \\\\ (default \\t)");
    write->add_option("--newline", writeOptions->newline,
                      "Line break; escapes \\t \\r \\n \\\\ (default \\r\\n)");
    auto* save = write->add_option("--save", writeOptions->save,
                                   "Write FILE with declaration and byte-order mark instead");
    write
        ->add_option("--encoding", writeOptions->encoding,
                     "Encoding name for --save (default utf-8)")
        ->needs(save);
    write->add_flag("--utf16", writeOptions->utf16, "Print UTF-16LE instead of UTF-8")
        ->excludes(save);
    write->add_option("TREE", writeOptions->tree, "The JSON tree; - for standard input")
        ->required();
    write->callback([&exitCode, writeOptions] {
        exitCode = RunGuarded([&] { return RunWrite(*writeOptions); });
    });

    auto* get = xml->add_subcommand("get", "Parse FILE and print one value through a typed getter");
    auto getOptions = std::make_shared<GetOptions>();
    get->add_option("FILE", getOptions->file, "The document; - for standard input")->required();
    get->add_option("PATH", getOptions->path,
                    "Names separated by /, each optionally followed by [n] (occurrence from 0)")
        ->required();
    get->add_option("--as", getOptions->type, "The getter's type")
        ->required()
        ->check(CLI::IsMember(GetterNames()));
    get->add_option("--as-input", getOptions->input,
                    "How FILE is read: bytes, utf16, file or codepage=N (default bytes)");
    get->callback(
        [&exitCode, getOptions] { exitCode = RunGuarded([&] { return RunGet(*getOptions); }); });
}

}  // namespace corvo::cli
