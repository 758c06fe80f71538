#include "tools/idlgen/idl_parser.h"

#include <cctype>
#include <map>
#include <set>

namespace corvo::idlgen {
namespace {

enum class TokenKind { End, Identifier, Number, String, Punct };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    int line = 0;
};

struct Attribute {
    std::string name;
    std::string argument;  // raw text between the parentheses; empty when none
    bool has_argument = false;
    int line = 0;
};

bool IsIdentStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsIdentChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

class Parser {
  public:
    Parser(const std::string& text, const std::string& file) : text_(text), file_(file) {}

    IdlFile Run() {
        Advance();
        while (tok_.kind != TokenKind::End) ParseTopLevel();
        Check();
        return std::move(out_);
    }

  private:
    [[noreturn]] void Fail(int line, const std::string& message) const {
        throw IdlError(file_ + ":" + std::to_string(line) + ": error: " + message);
    }
    [[noreturn]] void Unexpected(const std::string& wanted) const {
        Fail(tok_.line, "expected " + wanted + ", found " +
                            (tok_.kind == TokenKind::End ? std::string("end of file")
                                                         : "'" + tok_.text + "'"));
    }

    // --- lexer -------------------------------------------------------------
    void SkipSpaceAndComments() {
        for (;;) {
            while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) {
                if (text_[pos_] == '\n') ++line_;
                ++pos_;
            }
            if (text_.compare(pos_, 2, "//") == 0) {
                while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
            } else if (text_.compare(pos_, 2, "/*") == 0) {
                const int start = line_;
                pos_ += 2;
                while (pos_ < text_.size() && text_.compare(pos_, 2, "*/") != 0) {
                    if (text_[pos_] == '\n') ++line_;
                    ++pos_;
                }
                if (pos_ >= text_.size()) Fail(start, "unterminated comment");
                pos_ += 2;
            } else {
                return;
            }
        }
    }

    void Advance() {
        SkipSpaceAndComments();
        tok_ = Token{TokenKind::End, "", line_};
        if (pos_ >= text_.size()) return;
        const char c = text_[pos_];
        const size_t start = pos_;
        if (IsIdentStart(c)) {
            while (pos_ < text_.size() && IsIdentChar(text_[pos_])) ++pos_;
            tok_.kind = TokenKind::Identifier;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_])))
                ++pos_;
            tok_.kind = TokenKind::Number;
        } else if (c == '"') {
            ++pos_;
            while (pos_ < text_.size() && text_[pos_] != '"') {
                if (text_[pos_] == '\n' || text_[pos_] == '\\')
                    Fail(line_, "string literals may not span lines or contain escapes");
                ++pos_;
            }
            if (pos_ >= text_.size()) Fail(line_, "unterminated string literal");
            tok_.kind = TokenKind::String;
            tok_.text = text_.substr(start + 1, pos_ - start - 1);
            ++pos_;
            return;
        } else if (std::string_view("[](){};,:*=").find(c) != std::string_view::npos) {
            ++pos_;
            tok_.kind = TokenKind::Punct;
        } else {
            Fail(line_, std::string("unexpected character '") + c + "'");
        }
        tok_.text = text_.substr(start, pos_ - start);
    }

    // The raw text up to the next ')' (for uuid(...) and version(...)); the
    // current token must be the '(' just before it, not yet consumed.
    std::string RawArgument() {
        const size_t close = text_.find(')', pos_);
        if (close == std::string::npos) Fail(tok_.line, "missing ')'");
        std::string raw = text_.substr(pos_, close - pos_);
        for (char ch : raw)
            if (ch == '\n') Fail(tok_.line, "attribute argument spans lines");
        pos_ = close;
        Advance();  // now at ')'
        const auto b = raw.find_first_not_of(" \t");
        const auto e = raw.find_last_not_of(" \t");
        return b == std::string::npos ? std::string() : raw.substr(b, e - b + 1);
    }

    bool IsPunct(char c) const { return tok_.kind == TokenKind::Punct && tok_.text[0] == c; }
    bool IsWord(const char* w) const {
        return tok_.kind == TokenKind::Identifier && tok_.text == w;
    }
    void ExpectPunct(char c) {
        if (!IsPunct(c)) Unexpected(std::string("'") + c + "'");
        Advance();
    }
    void ExpectWord(const char* w) {
        if (!IsWord(w)) Unexpected(std::string("'") + w + "'");
        Advance();
    }
    std::string ExpectIdentifier(const char* what) {
        if (tok_.kind != TokenKind::Identifier) Unexpected(what);
        std::string s = tok_.text;
        Advance();
        return s;
    }
    std::string ExpectString() {
        if (tok_.kind != TokenKind::String) Unexpected("a string literal");
        std::string s = tok_.text;
        Advance();
        return s;
    }

    // --- grammar -------------------------------------------------------------
    std::vector<Attribute> ParseAttributes() {
        std::vector<Attribute> attrs;
        if (!IsPunct('[')) return attrs;
        Advance();
        for (;;) {
            Attribute a;
            a.line = tok_.line;
            a.name = ExpectIdentifier("an attribute name");
            if (IsPunct('(')) {
                a.has_argument = true;
                if (a.name == "uuid" || a.name == "version") {
                    a.argument = RawArgument();
                } else if (a.name == "helpstring") {
                    Advance();
                    a.argument = ExpectString();
                } else {
                    Advance();
                    if (tok_.kind != TokenKind::Number && tok_.kind != TokenKind::Identifier)
                        Unexpected("an attribute argument");
                    a.argument = tok_.text;
                    Advance();
                }
                ExpectPunct(')');
            }
            attrs.push_back(std::move(a));
            if (IsPunct(']')) break;
            ExpectPunct(',');
        }
        Advance();
        return attrs;
    }

    std::string ParseUuid(const Attribute& a) {
        std::string u = a.argument;
        static const int kGroups[] = {8, 4, 4, 4, 12};
        size_t p = 0;
        for (int g = 0; g < 5; ++g) {
            for (int i = 0; i < kGroups[g]; ++i, ++p) {
                if (p >= u.size() || !std::isxdigit(static_cast<unsigned char>(u[p])))
                    Fail(a.line, "malformed uuid '" + a.argument + "'");
                u[p] = static_cast<char>(std::toupper(static_cast<unsigned char>(u[p])));
            }
            if (g < 4 && (p >= u.size() || u[p++] != '-'))
                Fail(a.line, "malformed uuid '" + a.argument + "'");
        }
        if (p != u.size()) Fail(a.line, "malformed uuid '" + a.argument + "'");
        return u;
    }

    // Reads the attributes of a declaration; `allowed` lists the names it accepts.
    std::map<std::string, Attribute> Collect(const std::vector<Attribute>& attrs,
                                             const std::set<std::string>& allowed,
                                             const char* what) {
        std::map<std::string, Attribute> m;
        for (const Attribute& a : attrs) {
            if (!allowed.count(a.name))
                Fail(a.line, "attribute '" + a.name + "' is not supported on " + what);
            if (!m.emplace(a.name, a).second) Fail(a.line, "duplicate attribute '" + a.name + "'");
        }
        return m;
    }
    const Attribute& Require(const std::map<std::string, Attribute>& m, const char* name, int line,
                             const char* what) {
        auto it = m.find(name);
        if (it == m.end()) Fail(line, std::string(what) + " needs the attribute '" + name + "'");
        return it->second;
    }

    void ParseTopLevel() {
        const int line = tok_.line;
        if (IsWord("import")) {
            Advance();
            ExpectString();
            ExpectPunct(';');
            return;
        }
        std::vector<Attribute> attrs = ParseAttributes();
        if (IsWord("interface")) {
            Advance();
            std::string name = ExpectIdentifier("an interface name");
            if (attrs.empty() && IsPunct(';')) {
                Advance();
                out_.forward_declarations.push_back(name);
                return;
            }
            ParseInterface(attrs, std::move(name), line);
        } else if (IsWord("library")) {
            if (library_seen_) Fail(line, "only one library is supported");
            library_seen_ = true;
            Advance();
            ParseLibrary(attrs, line);
        } else {
            Unexpected("'import', 'interface' or 'library'");
        }
    }

    void ParseInterface(const std::vector<Attribute>& attrs, std::string name, int line) {
        auto m = Collect(attrs,
                         {"object", "uuid", "dual", "oleautomation", "nonextensible", "helpstring",
                          "pointer_default"},
                         "an interface");
        Interface itf;
        itf.name = std::move(name);
        itf.line = line;
        Require(m, "object", line, "an interface");
        itf.uuid = ParseUuid(Require(m, "uuid", line, "an interface"));
        itf.dual = m.count("dual") > 0;
        itf.oleautomation = m.count("oleautomation") > 0;
        itf.nonextensible = m.count("nonextensible") > 0;
        if (m.count("helpstring")) itf.help = m["helpstring"].argument;
        if (m.count("pointer_default") && m["pointer_default"].argument != "unique")
            Fail(m["pointer_default"].line, "only pointer_default(unique) is supported");
        ExpectPunct(':');
        itf.base = ExpectIdentifier("a base interface");
        if (itf.base != "IDispatch" && itf.base != "IUnknown")
            Fail(line, "base interface must be IDispatch or IUnknown, not '" + itf.base + "'");
        if (itf.dual && itf.base != "IDispatch")
            Fail(line, "a dual interface derives from IDispatch");
        ExpectPunct('{');
        while (!IsPunct('}')) itf.methods.push_back(ParseMethod());
        Advance();
        ExpectPunct(';');
        out_.interfaces.push_back(std::move(itf));
    }

    Method ParseMethod() {
        Method mt;
        mt.line = tok_.line;
        auto m = Collect(ParseAttributes(), {"id"}, "a method");
        const Attribute& id = Require(m, "id", mt.line, "a method");
        if (id.argument.empty() || !std::isdigit(static_cast<unsigned char>(id.argument[0])))
            Fail(id.line, "id() needs a decimal number");
        mt.dispid = std::stoi(id.argument);
        if (!IsWord("HRESULT")) Unexpected("'HRESULT' (methods must return HRESULT)");
        Advance();
        mt.name = ExpectIdentifier("a method name");
        ExpectPunct('(');
        if (IsWord("void")) {
            Advance();
        } else if (!IsPunct(')')) {
            for (;;) {
                mt.params.push_back(ParseParam());
                if (IsPunct(')')) break;
                ExpectPunct(',');
            }
        }
        ExpectPunct(')');
        ExpectPunct(';');
        return mt;
    }

    Param ParseParam() {
        Param p;
        p.line = tok_.line;
        auto m = Collect(ParseAttributes(), {"in", "out", "retval"}, "a parameter");
        p.in = m.count("in") > 0;
        p.out = m.count("out") > 0;
        p.retval = m.count("retval") > 0;
        for (const auto& [name, a] : m)
            if (a.has_argument) Fail(a.line, "attribute '" + name + "' takes no argument");
        const std::string type = ExpectIdentifier("a parameter type");
        if (type == "BSTR") {
            p.type = BaseType::Bstr;
        } else if (type == "LONG") {
            p.type = BaseType::Long;
        } else if (type == "ULONG") {
            p.type = BaseType::Ulong;
        } else {
            p.type = BaseType::Interface;
            p.interface_name = type;
        }
        while (IsPunct('*')) {
            ++p.pointer_depth;
            Advance();
        }
        p.name = ExpectIdentifier("a parameter name");
        return p;
    }

    void ParseLibrary(const std::vector<Attribute>& attrs, int line) {
        auto m = Collect(attrs, {"uuid", "version", "helpstring", "lcid"}, "a library");
        Library& lib = out_.library;
        lib.uuid = ParseUuid(Require(m, "uuid", line, "a library"));
        const Attribute& v = Require(m, "version", line, "a library");
        const size_t dot = v.argument.find('.');
        const auto digits = [](const std::string& s) {
            return !s.empty() && s.size() <= 5 &&
                   s.find_first_not_of("0123456789") == std::string::npos;
        };
        if (dot == std::string::npos || !digits(v.argument.substr(0, dot)) ||
            !digits(v.argument.substr(dot + 1)))
            Fail(v.line, "version must be 'major.minor'");
        lib.major_version = std::stoi(v.argument.substr(0, dot));
        lib.minor_version = std::stoi(v.argument.substr(dot + 1));
        if (lib.major_version > 65535 || lib.minor_version > 65535)
            Fail(v.line, "version number out of range");
        if (m.count("lcid") && m["lcid"].argument != "0")
            Fail(m["lcid"].line, "only lcid(0) is supported");
        if (m.count("helpstring")) lib.help = m["helpstring"].argument;
        lib.name = ExpectIdentifier("a library name");
        ExpectPunct('{');
        while (!IsPunct('}')) {
            const int item_line = tok_.line;
            if (IsWord("importlib")) {
                Advance();
                ExpectPunct('(');
                ExpectString();
                ExpectPunct(')');
                ExpectPunct(';');
                continue;
            }
            std::vector<Attribute> item_attrs = ParseAttributes();
            if (IsWord("dispinterface")) {
                Advance();
                ParseDispinterface(item_attrs, item_line);
            } else if (IsWord("coclass")) {
                Advance();
                ParseCoclass(item_attrs, item_line);
            } else {
                Unexpected("'importlib', 'dispinterface' or 'coclass'");
            }
        }
        Advance();
        ExpectPunct(';');
    }

    void ParseDispinterface(const std::vector<Attribute>& attrs, int line) {
        auto m = Collect(attrs, {"uuid", "helpstring"}, "a dispinterface");
        Interface itf;
        itf.dispinterface = true;
        itf.line = line;
        itf.uuid = ParseUuid(Require(m, "uuid", line, "a dispinterface"));
        if (m.count("helpstring")) itf.help = m["helpstring"].argument;
        itf.name = ExpectIdentifier("a dispinterface name");
        ExpectPunct('{');
        ExpectWord("properties");
        ExpectPunct(':');
        if (!IsWord("methods")) Fail(tok_.line, "dispinterface properties are not supported");
        Advance();
        ExpectPunct(':');
        if (!IsPunct('}')) Fail(tok_.line, "dispinterface members are not supported");
        Advance();
        ExpectPunct(';');
        out_.interfaces.push_back(std::move(itf));
    }

    void ParseCoclass(const std::vector<Attribute>& attrs, int line) {
        auto m = Collect(attrs, {"uuid", "helpstring"}, "a coclass");
        Coclass cc;
        cc.line = line;
        cc.uuid = ParseUuid(Require(m, "uuid", line, "a coclass"));
        if (m.count("helpstring")) cc.help = m["helpstring"].argument;
        cc.name = ExpectIdentifier("a coclass name");
        ExpectPunct('{');
        while (!IsPunct('}')) {
            CoclassMember mem;
            auto ma = Collect(ParseAttributes(), {"default", "source"}, "a coclass member");
            mem.is_default = ma.count("default") > 0;
            mem.source = ma.count("source") > 0;
            if (IsWord("dispinterface")) {
                mem.dispinterface = true;
            } else if (!IsWord("interface")) {
                Unexpected("'interface' or 'dispinterface'");
            }
            Advance();
            mem.name = ExpectIdentifier("an interface name");
            ExpectPunct(';');
            cc.members.push_back(std::move(mem));
        }
        Advance();
        ExpectPunct(';');
        out_.library.coclasses.push_back(std::move(cc));
    }

    // --- semantic checks -------------------------------------------------------
    const Interface* Find(const std::string& name) const {
        for (const Interface& i : out_.interfaces)
            if (i.name == name) return &i;
        return nullptr;
    }

    void Check() {
        if (!library_seen_) Fail(line_, "the file declares no library");
        std::set<std::string> names;
        std::set<std::string> uuids{out_.library.uuid};
        for (const Interface& itf : out_.interfaces) {
            if (!names.insert(itf.name).second) Fail(itf.line, "'" + itf.name + "' declared twice");
            if (!uuids.insert(itf.uuid).second) Fail(itf.line, "uuid of '" + itf.name + "' reused");
            std::set<int> ids;
            std::set<std::string> method_names;
            for (const Method& mt : itf.methods) {
                if (mt.dispid < 1) Fail(mt.line, "DISPIDs of methods start at 1");
                if (!ids.insert(mt.dispid).second) Fail(mt.line, "DISPID used twice");
                if (!method_names.insert(mt.name).second)
                    Fail(mt.line, "method '" + mt.name + "' declared twice");
                CheckParams(mt);
            }
        }
        for (const std::string& f : out_.forward_declarations)
            if (!Find(f)) Fail(line_, "interface '" + f + "' is declared but never defined");
        for (const Coclass& cc : out_.library.coclasses) {
            if (!uuids.insert(cc.uuid).second) Fail(cc.line, "uuid of '" + cc.name + "' reused");
            for (const CoclassMember& mem : cc.members) {
                const Interface* itf = Find(mem.name);
                if (!itf || itf->dispinterface != mem.dispinterface)
                    Fail(cc.line, "coclass '" + cc.name + "' names unknown " +
                                      (mem.dispinterface ? "dispinterface '" : "interface '") +
                                      mem.name + "'");
            }
        }
    }

    void CheckParams(const Method& mt) {
        if (mt.params.size() > 16) Fail(mt.line, "more than 16 parameters");
        std::set<std::string> seen;
        for (size_t i = 0; i < mt.params.size(); ++i) {
            const Param& p = mt.params[i];
            if (!seen.insert(p.name).second) Fail(p.line, "parameter '" + p.name + "' repeated");
            if (p.type == BaseType::Interface) {
                const Interface* itf = Find(p.interface_name);
                if (!itf || itf->dispinterface)
                    Fail(p.line, "unknown parameter type '" + p.interface_name + "'");
            }
            // Value types: by value or one pointer; interfaces: one or two.
            const int base_depth = p.type == BaseType::Interface ? 1 : 0;
            if (p.pointer_depth < base_depth || p.pointer_depth > base_depth + 1)
                Fail(p.line, "unsupported indirection for parameter '" + p.name + "'");
            const bool by_ref = p.pointer_depth > base_depth;
            if (p.retval && (!p.out || i + 1 != mt.params.size()))
                Fail(p.line, "[retval] must be the last parameter and also [out]");
            if (p.out && !by_ref)
                Fail(p.line, "[out] parameter '" + p.name + "' must be a pointer");
            if (p.in && p.out) Fail(p.line, "[in, out] parameters are not supported");
            if (by_ref && p.in) Fail(p.line, "[in] pointer parameters are not supported");
            if (p.type == BaseType::Interface && by_ref && !p.out)
                Fail(p.line, "interface pointers by reference must be [out]");
            if (!by_ref && !p.in) Fail(p.line, "by-value parameter '" + p.name + "' needs [in]");
        }
    }

    const std::string& text_;
    const std::string& file_;
    size_t pos_ = 0;
    int line_ = 1;
    Token tok_;
    bool library_seen_ = false;
    IdlFile out_;
};

}  // namespace

IdlFile ParseIdl(const std::string& text, const std::string& file_name) {
    return Parser(text, file_name).Run();
}

}  // namespace corvo::idlgen
