#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <string>

#include "module/registrar.h"
#include "module/registrar_store_registry.h"
#include "platform/posix/reg_file.h"
#include "registry_test_support.h"

namespace {

using corvo::module::kRegistrarScriptError;
using corvo::module::Registrar;
using corvo::module::RegistrarError;
using corvo::module::RegistrarMode;
using corvo::module::RegistrarStoreRegistry;
using corvo::platform::FormatRegFile;
using corvo::platform::RegistryTree;
using corvo::registry_test::Dump;

constexpr RegistrarMode kRegister = RegistrarMode::kRegister;
constexpr RegistrarMode kUnregister = RegistrarMode::kUnregister;

Registrar MakeRegistrar() {
    Registrar registrar;
    EXPECT_EQ(registrar.AddReplacement("MODULE", "/opt/it's {x}"), S_OK);
    EXPECT_EQ(registrar.AddReplacement("APPID", "{ID}"), S_OK);
    return registrar;
}

HRESULT RunOn(RegistryTree& tree, const char* script, RegistrarMode mode,
              RegistrarError* error = nullptr) {
    RegistrarStoreRegistry registry(tree);
    return MakeRegistrar().Run(script, mode, registry, error);
}

TEST(RegistrarScript, RunsScriptsInBothModes) {
    struct Case {
        const char* setup;  // registered first
        const char* script;
        RegistrarMode mode;
        const char* expected;
    } cases[] = {
        // Register: keys, default and named values, nesting, quoting.
        {"", "HKCU { A = s 'x' { val n = s 'v' B } }", kRegister, "A | A:@=x | A:n=v | A\\B"},
        {"", "HKCU { 'my key' = s 'it''s' { val 'a name' = s '' } }", kRegister,
         "my key | my key:@=it's | my key:a name="},
        {"", "hkcu { noremove A { VAL n = S 'v' } }", kRegister, "A | A:n=v"},
        {"", "HKEY_CURRENT_USER {\n\tA\n}\nHKCR { B }", kRegister,
         "A | Software | Software\\Classes | Software\\Classes\\B"},
        {"", "HKCU { {98EF2EC8-D064} = s 'g' }", kRegister,
         "{98EF2EC8-D064} | {98EF2EC8-D064}:@=g"},
        {"", "HKCU { }", kRegister, ""},
        {"", "", kRegister, ""},
        // Replacement values are literal text, whatever they hold.
        {"", "HKCU { '%MODULE%' = s '%MODULE%%%' K%APPID% { val '%%' = s '100%%' } }", kRegister,
         "/opt/it's {x} | /opt/it's {x}:@=/opt/it's {x}% | K{ID} | K{ID}:%=100%"},
        // ForceRemove wipes the old subtree; a plain key keeps what others added.
        {"HKCU { A { Foreign = s 'f' } }", "HKCU { ForceRemove A = s 'new' { B } }", kRegister,
         "A | A:@=new | A\\B"},
        {"HKCU { A { Foreign } }", "HKCU { A = s 'x' }", kRegister, "A | A:@=x | A\\Foreign"},
        {"HKCU { a { b = s 'old' } }", "HKCU { A { B = s 'new' } }", kRegister,
         "a | a\\b | a\\b:@=new"},
        // Delete removes a subtree on registration and creates nothing.
        {"HKCU { A { B } C }", "HKCU { Delete A { Z } Delete Missing }", kRegister, "C"},
        // Unregister removes what registration wrote, nothing more.
        {"HKCU { NoRemove S { A = s 'x' { val n = s 'v' B } } }",
         "HKCU { NoRemove S { A = s 'x' { val n = s 'v' B } } }", kUnregister, "S"},
        {"HKCU { S { A = s 'x' { val n = s 'v' Other } } }",
         "HKCU { S { A = s 'x' { val n = s 'v' } } }", kUnregister, "S | S\\A | S\\A\\Other"},
        {"HKCU { A { val mine = s '1' val theirs = s '2' } }", "HKCU { A { val mine = s '1' } }",
         kUnregister, "A | A:theirs=2"},
        {"HKCU { A { Other { Deep } } }", "HKCU { ForceRemove A }", kUnregister, ""},
        {"HKCU { A = s 'd' { val n = s 'v' } }", "HKCU { NoRemove A = s 'd' { val n = s 'v' } }",
         kUnregister, "A | A:@=d"},
        {"", "HKCU { A { B } NoRemove C }", kUnregister, ""},
        {"HKCU { A }", "HKCU { Delete A }", kUnregister, "A"},
        {"HKCR { X }", "HKCR { X }", kUnregister, "Software | Software\\Classes"},
    };
    for (const Case& c : cases) {
        RegistryTree tree;
        ASSERT_EQ(RunOn(tree, c.setup, kRegister), S_OK) << c.setup;
        RegistrarError error;
        EXPECT_EQ(RunOn(tree, c.script, c.mode, &error), S_OK)
            << c.script << ": " << error.ToString();
        EXPECT_EQ(Dump(tree), c.expected) << c.script;
    }
}

TEST(RegistrarScript, MalformedScriptsAreReportedAndChangeNothing) {
    struct Case {
        const char* script;
        int line, column;
        const char* message;
    } cases[] = {
        {"HKCU {", 1, 7, "expected '}' to close the root key (opened at line 1), found end"},
        {"HKCU {\n  A {\n    B\n}", 4, 2, "'}' to close the root key (opened at line 1)"},
        {"HKCX { }", 1, 1, "expected a root key (HKCR, HKCU or HKLM), found 'HKCX'"},
        {"HKCU A", 1, 6, "expected '{' after the root key, found 'A'"},
        {"HKCU { A = x 'v' }", 1, 12, "expected the value type 's', found 'x'"},
        {"HKCU { A = d '1' }", 1, 12, "value type 'd' is not supported"},
        {"HKCU { A = s v }", 1, 14, "expected a quoted string ('...'), found 'v'"},
        {"HKCU { A = s 'v }", 1, 14, "unterminated string"},
        {"HKCU { A = s 'v\n' }", 1, 14, "unterminated string"},
        {"HKCU {\n  A {\n    B\n", 4, 1, "'}' to close key 'A' (opened at line 2)"},
        {"HKCU { val n = s 'v' }", 1, 8, "a value cannot be set on a root key"},
        {"HKCU { A { val = s 'v' } }", 1, 16, "expected a value name after 'val', found '='"},
        {"HKCU { A { val n s 'v' } }", 1, 18, "expected '=' after the value name"},
        {"HKCU { NoRemove ForceRemove A }", 1, 17, "second modifier"},
        {"HKCU { 'a\\b' }", 1, 8, "cannot contain '\\'"},
        {"HKCU { '' }", 1, 8, "cannot be empty"},
        {"HKCU { A{ } }", 1, 8, "must stand apart"},
        {"HKCU { A=s 'x' }", 1, 8, "must stand apart"},
        {"HKCU {\n\tProgrammable}\n}", 2, 2, "must stand apart"},
        {"HKCU { '%NOPE%' }", 1, 9, "unknown replacement variable %NOPE%"},
        {"HKCU { %module% }", 1, 8, "unknown replacement variable %module%"},
        {"HKCU { %MODULE }", 1, 8, "unterminated replacement variable"},
        {"HKCU { A } }", 1, 12, "expected a root key"},
        {"HKCU { A = s 'x' = s 'y' }", 1, 18, "expected a key name or '}', found '='"},
        // A valid start does not get applied when the script fails later on.
        {"HKCU { New = s 'v' }\nHKCU { Broken", 2, 14, "found end of script"},
    };
    for (const Case& c : cases) {
        RegistryTree tree;
        ASSERT_EQ(RunOn(tree, "HKCU { Existing = s 'e' }", kRegister), S_OK);
        const std::string before = FormatRegFile(tree);
        for (RegistrarMode mode : {kRegister, kUnregister}) {
            RegistrarError error;
            EXPECT_EQ(RunOn(tree, c.script, mode, &error), kRegistrarScriptError) << c.script;
            EXPECT_EQ(error.position.line, c.line) << c.script << ": " << error.ToString();
            EXPECT_EQ(error.position.column, c.column) << c.script << ": " << error.ToString();
            EXPECT_NE(error.message.find(c.message), std::string::npos)
                << c.script << ": " << error.ToString();
            EXPECT_EQ(FormatRegFile(tree), before) << c.script;
        }
    }
}

TEST(RegistrarScript, ReplacementNamesAndUnknownScripts) {
    Registrar registrar;
    EXPECT_EQ(registrar.AddReplacement("", "x"), E_INVALIDARG);
    EXPECT_EQ(registrar.AddReplacement("A%B", "x"), E_INVALIDARG);
    EXPECT_EQ(registrar.AddReplacement("A B", "x"), E_INVALIDARG);
    EXPECT_EQ(registrar.AddReplacement("V", "1"), S_OK);
    EXPECT_EQ(registrar.AddReplacement("V", "2"), S_OK);
    RegistryTree tree;
    RegistrarStoreRegistry registry(tree);
    ASSERT_EQ(registrar.Run("HKCU { K = s '%V%' }", kRegister, registry), S_OK);
    EXPECT_EQ(Dump(tree), "K | K:@=2");
    registrar.ClearReplacements();
    EXPECT_EQ(registrar.Run("HKCU { K = s '%V%' }", kRegister, registry), kRegistrarScriptError);
    RegistrarError error;
    EXPECT_EQ(registrar.RunScript(999, kRegister, registry, &error), HRESULT_FROM_WIN32(1814));
    EXPECT_NE(error.message.find("999"), std::string::npos);
}

TEST(RegistrarScript, MachineHiveIsRefusedWithThePlaceOfTheFailure) {
    RegistryTree tree;
    RegistrarError error;
    EXPECT_EQ(RunOn(tree, "HKCU { A }\nHKLM {\n  B\n}", kRegister, &error),
              HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(error.position.line, 3);
    EXPECT_EQ(error.position.column, 3);
    EXPECT_NE(error.message.find("cannot create key B"), std::string::npos) << error.message;
}

// Random scripts: registering is idempotent; unregistering leaves only the
// NoRemove keys (with their default values) and the keys above surviving ones.
TEST(RegistrarScript, RandomScriptsRegisterIdempotentlyAndUnregisterCleanly) {
    std::mt19937 rng(7);
    const char* modifiers[] = {"", "NoRemove ", "ForceRemove "};
    // What unregistering leaves: a key path and its kept default value.
    using Survivors = std::vector<std::pair<std::string, std::optional<std::string>>>;
    // Appends random keys below `path` to `text`; returns the survivors.
    std::function<Survivors(int, const std::string&, std::string*)> keys =
        [&](int depth, const std::string& path, std::string* text) {
            Survivors survivors;
            const int count = static_cast<int>(rng() % 4);
            for (int i = 0; i < count; ++i) {
                const std::string name = "K" + std::to_string(i);
                const std::string full = path.empty() ? name : path + "\\" + name;
                const int modifier = static_cast<int>(rng() % 3);
                std::optional<std::string> defaultValue;
                if (rng() % 2) defaultValue = "d" + std::to_string(depth);
                *text += std::string(modifiers[modifier]) + name;
                if (defaultValue) *text += " = s '" + *defaultValue + "'";
                *text += " { ";
                if (rng() % 2) *text += "val v = s 'x' ";
                const Survivors below = depth < 3 ? keys(depth + 1, full, text) : Survivors();
                *text += "} ";
                if (modifier == 1 || (modifier == 0 && !below.empty())) {
                    survivors.emplace_back(full, modifier == 1 ? defaultValue : std::nullopt);
                    survivors.insert(survivors.end(), below.begin(), below.end());
                }
            }
            return survivors;
        };
    for (int round = 0; round < 300; ++round) {
        std::string body;
        RegistryTree expected;
        for (const auto& [path, defaultValue] : keys(0, "", &body)) {
            ASSERT_EQ(expected.CreateKey(path), S_OK);
            if (defaultValue) {
                ASSERT_EQ(expected.SetValue(path, "", *defaultValue), S_OK);
            }
        }
        const std::string script = "HKCU { " + body + "}";
        RegistryTree tree;
        RegistrarError error;
        ASSERT_EQ(RunOn(tree, script.c_str(), kRegister, &error), S_OK)
            << script << ": " << error.ToString();
        const std::string once = FormatRegFile(tree);
        ASSERT_EQ(RunOn(tree, script.c_str(), kRegister), S_OK);
        EXPECT_EQ(FormatRegFile(tree), once) << script;
        ASSERT_EQ(RunOn(tree, script.c_str(), kUnregister, &error), S_OK) << error.ToString();
        EXPECT_EQ(Dump(tree), Dump(expected)) << script;
        ASSERT_EQ(RunOn(tree, script.c_str(), kUnregister), S_OK);
        EXPECT_EQ(Dump(tree), Dump(expected)) << script;
    }
}

}  // namespace
