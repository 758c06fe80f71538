// The registrar's script grammar on arbitrary text. Parsing twice gives the
// same outcome; and since replacement variables are substituted after the
// script is split into tokens, a value made of script syntax (quotes, braces,
// keywords, blanks) yields exactly the structure that a plain value yields.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "module/registrar_script.h"

namespace {

using namespace corvo::module;

const ReplacementMap kPlain = {{"MODULE", "m"}, {"APPID", "a"}, {"CLSID", "c"}};
const ReplacementMap kHostile = {{"MODULE", "x' } } HKCU { ForceRemove Evil = s 'y"},
                                 {"APPID", "{ }"},
                                 {"CLSID", "%MODULE% '' val N = s '"}};

// The shape of a parsed script: everything but the substituted texts.
void Shape(const ScriptKey& key, std::string& out) {
    out += 'k';
    out += char('0' + int(key.disposition));
    out += key.defaultValue ? 'd' : '-';
    out += std::to_string(key.position.line) + ':' + std::to_string(key.position.column);
    for (const ScriptValue& value : key.values)
        out +=
            'v' + std::to_string(value.position.line) + ':' + std::to_string(value.position.column);
    out += '{';
    for (const ScriptKey& sub : key.subkeys) Shape(sub, out);
    out += '}';
}

std::string Shape(const RegistrarScript& script) {
    std::string out;
    for (const ScriptRootBlock& root : script.roots) {
        out += 'r' + std::to_string(int(root.root)) + '[';
        for (const ScriptKey& key : root.keys) Shape(key, out);
        out += ']';
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    RegistrarScript plain;
    RegistrarError plainError;
    const HRESULT first = ParseRegistrarScript(text, kPlain, &plain, &plainError);
    if (first != S_OK) {
        if (first != kRegistrarScriptError || plainError.message.empty() ||
            plainError.position.line < 1 || plainError.position.column < 1)
            __builtin_trap();
    }

    RegistrarScript hostile;
    RegistrarError hostileError;
    const HRESULT second = ParseRegistrarScript(text, kHostile, &hostile, &hostileError);
    if (first != second) __builtin_trap();
    if (first == S_OK && Shape(plain) != Shape(hostile)) __builtin_trap();
    // Errors are found at the same place (the message quotes the token as
    // substituted, so it may differ).
    if (first != S_OK && (plainError.position.line != hostileError.position.line ||
                          plainError.position.column != hostileError.position.column))
        __builtin_trap();

    // No replacements at all: a script that names a variable now fails, any
    // other one parses to the same shape.
    RegistrarScript bare;
    if (ParseRegistrarScript(text, {}, &bare, nullptr) == S_OK &&
        (first != S_OK || Shape(bare) != Shape(plain)))
        __builtin_trap();
    return 0;
}
