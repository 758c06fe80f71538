#include "module/registrar_script.h"

#include <utility>

#include "module/ascii_case.h"

namespace corvo::module {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

struct Token {
    enum class Kind { kEnd, kWord, kString } kind = Kind::kEnd;
    std::string raw;   // the source text of a word, before replacement
    std::string text;  // the word or string after replacement and unquoting
    ScriptPosition position;

    bool IsPunct(std::string_view p) const { return kind == Kind::kWord && raw == p; }
    bool IsKeyword(std::string_view k) const {
        return kind == Kind::kWord && EqualsIgnoreAsciiCase(raw, k);
    }
    bool IsName() const {
        return kind == Kind::kString ||
               (kind == Kind::kWord && raw != "{" && raw != "}" && raw != "=");
    }
    std::string Describe() const {
        switch (kind) {
            case Kind::kEnd:
                return "end of script";
            case Kind::kString:
                return "string '" + text + "'";
            case Kind::kWord:
                break;
        }
        return "'" + raw + "'";
    }
};

// Splits the script into tokens, expanding replacement variables.
class Lexer {
  public:
    Lexer(std::string_view text, const ReplacementMap& replacements, RegistrarError* error)
        : text_(text), replacements_(replacements), error_(error) {}

    bool Next(Token* token) {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) Advance();
        token->raw.clear();
        token->text.clear();
        token->position = Here();
        if (pos_ >= text_.size()) {
            token->kind = Token::Kind::kEnd;
            return true;
        }
        if (text_[pos_] == '\'') {
            token->kind = Token::Kind::kString;
            return ReadString(token);
        }
        token->kind = Token::Kind::kWord;
        while (pos_ < text_.size() && !IsSpace(text_[pos_])) {
            const char c = text_[pos_];
            token->raw.push_back(c);
            if (c == '%') {
                const size_t start = pos_;
                if (!Expand(&token->text)) return false;
                token->raw.append(text_.substr(start + 1, pos_ - start - 1));
            } else {
                token->text.push_back(c);
                Advance();
            }
        }
        if (!IsWellFormedWord(token->raw)) {
            return Fail(token->position, "'" + token->raw +
                                             "': '{', '}' and '=' must stand apart, separated "
                                             "by blanks (quote a name that holds them)");
        }
        return true;
    }

  private:
    // A word is a lone "{", "}" or "=", or a name without '=' whose only
    // braces, if any, enclose it ("{98EF2EC8-...}").
    static bool IsWellFormedWord(std::string_view w) {
        if (w == "{" || w == "}" || w == "=") return true;
        if (w.find('=') != std::string_view::npos) return false;
        const size_t brace = w.find_first_of("{}");
        if (brace == std::string_view::npos) return true;
        return w.size() > 2 && w.front() == '{' && w.back() == '}' &&
               w.substr(1, w.size() - 2).find_first_of("{}") == std::string_view::npos;
    }

    ScriptPosition Here() const { return {line_, column_}; }

    void Advance() {
        if (text_[pos_] == '\n') {
            ++line_;
            column_ = 1;
        } else {
            ++column_;
        }
        ++pos_;
    }

    bool Fail(ScriptPosition at, std::string message) {
        if (error_ != nullptr) {
            error_->position = at;
            error_->message = std::move(message);
        }
        return false;
    }

    // At '%': appends the variable's value (or '%' for "%%") to `out`.
    bool Expand(std::string* out) {
        const ScriptPosition at = Here();
        const size_t close = text_.find('%', pos_ + 1);
        const size_t newline = text_.find('\n', pos_ + 1);
        if (close == std::string_view::npos || newline < close) {
            return Fail(at, "unterminated replacement variable: expected a closing '%'");
        }
        const std::string_view name = text_.substr(pos_ + 1, close - pos_ - 1);
        if (name.empty()) {
            out->push_back('%');
        } else {
            auto it = replacements_.find(name);
            if (it == replacements_.end()) {
                return Fail(at, "unknown replacement variable %" + std::string(name) + "%");
            }
            out->append(it->second);
        }
        while (pos_ <= close) Advance();
        return true;
    }

    bool ReadString(Token* token) {
        const ScriptPosition open = Here();
        Advance();  // the opening quote
        for (;;) {
            if (pos_ >= text_.size() || text_[pos_] == '\n') {
                return Fail(open, "unterminated string: expected a closing quote (') on this line");
            }
            const char c = text_[pos_];
            if (c == '\'') {
                Advance();
                if (pos_ < text_.size() && text_[pos_] == '\'') {
                    token->text.push_back('\'');
                    Advance();
                    continue;
                }
                return true;
            }
            if (c == '%') {
                if (!Expand(&token->text)) return false;
                continue;
            }
            token->text.push_back(c);
            Advance();
        }
    }

    std::string_view text_;
    const ReplacementMap& replacements_;
    RegistrarError* error_;
    size_t pos_ = 0;
    int line_ = 1;
    int column_ = 1;
};

struct RootName {
    std::string_view shortName;
    std::string_view longName;
    RegistryRoot root;
};

constexpr RootName kRoots[] = {
    {"HKCR", "HKEY_CLASSES_ROOT", RegistryRoot::kClassesRoot},
    {"HKCU", "HKEY_CURRENT_USER", RegistryRoot::kCurrentUser},
    {"HKLM", "HKEY_LOCAL_MACHINE", RegistryRoot::kLocalMachine},
};

struct Modifier {
    std::string_view keyword;
    KeyDisposition disposition;
};

constexpr Modifier kModifiers[] = {
    {"NoRemove", KeyDisposition::kNoRemove},
    {"ForceRemove", KeyDisposition::kForceRemove},
    {"Delete", KeyDisposition::kDelete},
};

constexpr std::string_view kUnsupportedTypes[] = {"d", "b", "m"};

class Parser {
  public:
    Parser(std::string_view text, const ReplacementMap& replacements, RegistrarError* error)
        : lexer_(text, replacements, error), error_(error) {}

    bool Parse(RegistrarScript* script) {
        if (!Advance()) return false;
        while (token_.kind != Token::Kind::kEnd) {
            ScriptRootBlock block;
            block.position = token_.position;
            if (!ParseRoot(&block.root)) return false;
            if (!Expect("{", "'{' after the root key")) return false;
            while (!token_.IsPunct("}")) {
                if (token_.kind == Token::Kind::kEnd) {
                    return Unexpected("'}' to close the root key (opened at line " +
                                      std::to_string(block.position.line) + ")");
                }
                if (token_.IsKeyword("val")) {
                    return Fail("a value cannot be set on a root key; expected a key name or '}'");
                }
                block.keys.emplace_back();
                if (!ParseKey(&block.keys.back())) return false;
            }
            if (!Advance()) return false;
            script->roots.push_back(std::move(block));
        }
        return true;
    }

  private:
    bool Advance() { return lexer_.Next(&token_); }

    bool Fail(std::string message) {
        if (error_ != nullptr) {
            error_->position = token_.position;
            error_->message = std::move(message);
        }
        return false;
    }

    bool Unexpected(std::string_view expected) {
        return Fail("expected " + std::string(expected) + ", found " + token_.Describe());
    }

    bool Expect(std::string_view punct, std::string_view what) {
        if (!token_.IsPunct(punct)) return Unexpected(what);
        return Advance();
    }

    bool ParseRoot(RegistryRoot* root) {
        for (const RootName& r : kRoots) {
            if (token_.IsKeyword(r.shortName) || token_.IsKeyword(r.longName)) {
                *root = r.root;
                return Advance();
            }
        }
        return Unexpected("a root key (HKCR, HKCU or HKLM)");
    }

    // A key or value name; `what` names it in messages.
    bool ParseName(std::string* name, std::string_view what, bool isKey) {
        if (!token_.IsName()) return Unexpected(what);
        if (isKey) {
            if (token_.text.empty()) return Fail("a key name cannot be empty");
            if (token_.text.find('\\') != std::string::npos) {
                return Fail("a key name cannot contain '\\' (nest the keys instead): " +
                            token_.Describe());
            }
        }
        *name = std::move(token_.text);
        return Advance();
    }

    // After '=': "s 'text'".
    bool ParseStringValue(std::string* data) {
        for (std::string_view type : kUnsupportedTypes) {
            if (token_.IsKeyword(type)) {
                return Fail("value type '" + token_.raw +
                            "' is not supported; only 's' (string) values are");
            }
        }
        if (!token_.IsKeyword("s")) return Unexpected("the value type 's'");
        if (!Advance()) return false;
        if (token_.kind != Token::Kind::kString) return Unexpected("a quoted string ('...')");
        *data = std::move(token_.text);
        return Advance();
    }

    bool ParseKey(ScriptKey* key) {
        key->position = token_.position;
        for (const Modifier& m : kModifiers) {
            if (token_.IsKeyword(m.keyword)) {
                key->disposition = m.disposition;
                if (!Advance()) return false;
                for (const Modifier& other : kModifiers) {
                    if (token_.IsKeyword(other.keyword)) {
                        return Fail("expected a key name after '" + std::string(m.keyword) +
                                    "', found a second modifier " + token_.Describe() +
                                    " (quote the name if it is one)");
                    }
                }
                break;
            }
        }
        if (!ParseName(&key->name, "a key name or '}'", true)) return false;
        if (token_.IsPunct("=")) {
            if (!Advance()) return false;
            key->defaultValue.emplace();
            if (!ParseStringValue(&*key->defaultValue)) return false;
        }
        if (!token_.IsPunct("{")) return true;
        if (!Advance()) return false;
        while (!token_.IsPunct("}")) {
            if (token_.kind == Token::Kind::kEnd) {
                return Unexpected("'}' to close key '" + key->name + "' (opened at line " +
                                  std::to_string(key->position.line) + ")");
            }
            if (token_.IsKeyword("val")) {
                key->values.emplace_back();
                if (!ParseValue(&key->values.back())) return false;
            } else {
                key->subkeys.emplace_back();
                if (!ParseKey(&key->subkeys.back())) return false;
            }
        }
        return Advance();
    }

    bool ParseValue(ScriptValue* value) {
        value->position = token_.position;
        if (!Advance()) return false;  // "val"
        if (!ParseName(&value->name, "a value name after 'val'", false)) return false;
        if (!Expect("=", "'=' after the value name")) return false;
        return ParseStringValue(&value->data);
    }

    Lexer lexer_;
    RegistrarError* error_;
    Token token_;
};

}  // namespace

std::string RegistrarError::ToString() const {
    return "line " + std::to_string(position.line) + ", column " + std::to_string(position.column) +
           ": " + message;
}

HRESULT ParseRegistrarScript(std::string_view text, const ReplacementMap& replacements,
                             RegistrarScript* script, RegistrarError* error) {
    if (script == nullptr) return E_POINTER;
    RegistrarScript parsed;
    Parser parser(text, replacements, error);
    if (!parser.Parse(&parsed)) return kRegistrarScriptError;
    *script = std::move(parsed);
    return S_OK;
}

}  // namespace corvo::module
