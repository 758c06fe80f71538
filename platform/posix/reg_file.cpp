#include "platform/posix/reg_file.h"

#include <algorithm>

namespace corvo::platform {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Reads a quoted string starting at s[0] == '"'; on success `s` is advanced
// past the closing quote.
bool ReadQuoted(std::string_view* s, std::string* out, std::string* message) {
    out->clear();
    size_t i = 1;
    for (; i < s->size(); ++i) {
        const char c = (*s)[i];
        if (c == '"') {
            s->remove_prefix(i + 1);
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= s->size()) break;
            const char next = (*s)[++i];
            if (next != '\\' && next != '"') {
                *message =
                    std::string("unknown escape \\") + next + " (only \\\\ and \\\" are allowed)";
                return false;
            }
            out->push_back(next);
        } else {
            out->push_back(c);
        }
    }
    *message = "unterminated string: missing closing '\"'";
    return false;
}

class RegFileParser {
  public:
    RegFileParser(RegistryTree* tree, RegFileError* error, std::string_view hive)
        : tree_(tree), error_(error), hive_(hive) {}

    bool Parse(std::string_view text) {
        if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        size_t lineNumber = 0;
        while (!text.empty() || lineNumber == 0) {
            const size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
            ++lineNumber;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (!ParseLine(lineNumber, Trim(line))) {
                error_->line = lineNumber;
                return false;
            }
        }
        return true;
    }

  private:
    bool Fail(std::string message) {
        error_->message = std::move(message);
        return false;
    }

    bool ParseLine(size_t lineNumber, std::string_view line) {
        if (lineNumber == 1) {
            return line == kRegFileHeader ||
                   Fail("expected the header \"" + std::string(kRegFileHeader) + "\"");
        }
        if (line.empty() || line.front() == ';') return true;
        if (line.front() == '[') return ParseSection(line);
        if (line.front() == '@' || line.front() == '"') return ParseValue(line);
        return Fail("expected a [key] section or a value line");
    }

    bool ParseSection(std::string_view line) {
        if (line.back() != ']' || line.size() < 2) return Fail("section line does not end in ']'");
        std::string_view path = line.substr(1, line.size() - 2);
        if (!path.empty() && path.front() == '-') {
            return Fail("key deletion entries are not supported");
        }
        if (path.size() < hive_.size() ||
            !RegistryNamesEqual(path.substr(0, hive_.size()), hive_) ||
            (path.size() > hive_.size() && path[hive_.size()] != '\\')) {
            return Fail("key is not below " + std::string(hive_));
        }
        path.remove_prefix(std::min(path.size(), hive_.size() + 1));
        if (FAILED(tree_->CreateKey(path)) || FAILED(tree_->OpenKey(path, &current_))) {
            return Fail("malformed key path");
        }
        return true;
    }

    bool ParseValue(std::string_view line) {
        if (current_ == nullptr) return Fail("value line before the first [key] section");
        std::string name, message;
        if (line.front() == '@') {
            line.remove_prefix(1);
        } else if (!ReadQuoted(&line, &name, &message)) {
            return Fail("value name: " + message);
        }
        line = Trim(line);
        if (line.empty() || line.front() != '=') return Fail("expected '=' after the value name");
        line = Trim(line.substr(1));
        if (line.empty() || line.front() != '"') {
            return Fail("only string values (\"...\") are supported");
        }
        std::string data;
        if (!ReadQuoted(&line, &data, &message)) return Fail("value data: " + message);
        if (!Trim(line).empty()) return Fail("unexpected text after the value");
        if (!IsValidRegistryValueName(name)) return Fail("invalid value name");
        if (!IsValidRegistryString(data)) return Fail("control character in value data");
        current_->SetValue(name, std::move(data));
        return true;
    }

    RegistryTree* tree_;
    RegFileError* error_;
    std::string_view hive_;
    RegistryKey* current_ = nullptr;
};

void AppendQuoted(std::string* out, std::string_view text) {
    out->push_back('"');
    for (const char c : text) {
        if (c == '\\' || c == '"') out->push_back('\\');
        out->push_back(c);
    }
    out->push_back('"');
}

void AppendKey(std::string* out, std::string& path, const RegistryKey& key, bool isHive) {
    if (!isHive || !key.values().empty()) {
        out->append("[").append(path).append("]\n");
        for (const auto& [name, data] : key.values()) {
            if (name.empty()) {
                out->push_back('@');
            } else {
                AppendQuoted(out, name);
            }
            out->push_back('=');
            AppendQuoted(out, data);
            out->push_back('\n');
        }
        out->push_back('\n');
    }
    for (const auto& [name, subkey] : key.subkeys()) {
        const size_t length = path.size();
        path.append("\\").append(name);
        AppendKey(out, path, *subkey, false);
        path.resize(length);
    }
}

}  // namespace

bool ParseRegFile(std::string_view text, RegistryTree* tree, RegFileError* error,
                  std::string_view hive) {
    RegFileError ignored;
    RegFileParser parser(tree, error != nullptr ? error : &ignored, hive);
    return parser.Parse(text);
}

std::string FormatRegFile(const RegistryTree& tree, std::string_view hive) {
    std::string out(kRegFileHeader);
    out.append("\n\n");
    std::string path(hive);
    AppendKey(&out, path, tree.root(), true);
    return out;
}

}  // namespace corvo::platform
