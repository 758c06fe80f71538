#include "platform/posix/reg_file.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using corvo::platform::FormatRegFile;
using corvo::platform::ParseRegFile;
using corvo::platform::RegFileError;
using corvo::platform::RegistryKey;
using corvo::platform::RegistryTree;

const HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

TEST(RegFile, WritesSortedSectionsWithEscapes) {
    RegistryTree tree;
    ASSERT_EQ(tree.CreateKey("Software\\Classes\\zeta"), S_OK);
    ASSERT_EQ(tree.CreateKey("Software\\Classes\\Alpha\\Beta"), S_OK);
    ASSERT_EQ(tree.CreateKey("Software\\Classes\\alpha2"), S_OK);
    ASSERT_EQ(tree.SetValue("Software\\Classes\\Alpha", "", R"(C:\dir\"q".dll)"), S_OK);
    ASSERT_EQ(tree.SetValue("Software\\Classes\\Alpha", "b", "2"), S_OK);
    ASSERT_EQ(tree.SetValue("Software\\Classes\\Alpha", "A \"x\"", "1"), S_OK);
    ASSERT_EQ(tree.SetValue("Software\\Classes\\zeta", "T", "tab\there \xE4\xB8\xAD"), S_OK);
    EXPECT_EQ(FormatRegFile(tree),
              "REGEDIT4\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Classes]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Classes\\Alpha]\n"
              "@=\"C:\\\\dir\\\\\\\"q\\\".dll\"\n"
              "\"A \\\"x\\\"\"=\"1\"\n"
              "\"b\"=\"2\"\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Classes\\Alpha\\Beta]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Classes\\alpha2]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Classes\\zeta]\n"
              "\"T\"=\"tab\there \xE4\xB8\xAD\"\n"
              "\n");
}

TEST(RegFile, EmptyTreeAndHiveValues) {
    RegistryTree tree;
    EXPECT_EQ(FormatRegFile(tree), "REGEDIT4\n\n");
    ASSERT_EQ(tree.SetValue("", "v", "1"), S_OK);
    EXPECT_EQ(FormatRegFile(tree), "REGEDIT4\n\n[HKEY_CURRENT_USER]\n\"v\"=\"1\"\n\n");
    RegistryTree back;
    ASSERT_TRUE(ParseRegFile(FormatRegFile(tree), &back, nullptr));
    EXPECT_EQ(FormatRegFile(back), FormatRegFile(tree));
}

TEST(RegFile, NamesAreCaseInsensitiveAndKeepTheirCase) {
    RegistryTree tree;
    ASSERT_TRUE(
        ParseRegFile("REGEDIT4\r\n\r\n"
                     "[hkey_current_user\\Software\\Classes\\MyKey]\r\n"
                     "\"Value\"=\"one\"\r\n"
                     "; a comment\r\n"
                     "  [HKEY_CURRENT_USER\\SOFTWARE\\classes\\MYKEY\\Sub]  \r\n"
                     "[HKEY_CURRENT_USER\\software\\CLASSES\\mykey]\r\n"
                     "\"VALUE\" = \"two\"\r\n"
                     "\"\"=\"default\"\r\n",
                     &tree, nullptr));
    std::string data;
    EXPECT_EQ(tree.GetValue("SOFTWARE\\CLASSES\\mykey", "value", &data), S_OK);
    EXPECT_EQ(data, "two");
    EXPECT_EQ(tree.GetValue("software\\classes\\MyKey", "", &data), S_OK);
    EXPECT_EQ(data, "default");
    EXPECT_EQ(FormatRegFile(tree),
              "REGEDIT4\n\n"
              "[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Classes]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Classes\\MyKey]\n"
              "@=\"default\"\n"
              "\"Value\"=\"two\"\n\n"
              "[HKEY_CURRENT_USER\\Software\\Classes\\MyKey\\Sub]\n\n");
}

// Random trees survive a write and a read unchanged, and the text does not
// depend on the order in which keys and values were created.
TEST(RegFile, RandomTreesRoundTripInAStableOrder) {
    std::mt19937 rng(42);
    const std::vector<std::string> names = {"a", "B", "c.1", "{GUID}", "x y", "Q\"uote", "back"};
    const std::vector<std::string> data = {"", "plain", "C:\\path\\", "\"\"", "\\\"", "%x%", "\t"};
    for (int round = 0; round < 200; ++round) {
        struct Op {
            std::string path, name, value;
        };
        std::vector<Op> ops;
        const int count = 1 + static_cast<int>(rng() % 12);
        for (int i = 0; i < count; ++i) {
            std::string path;
            const int depth = 1 + static_cast<int>(rng() % 3);
            for (int d = 0; d < depth; ++d) {
                path += (d ? "\\" : "") + names[rng() % names.size()];
            }
            ops.push_back(
                {path, rng() % 3 ? names[rng() % names.size()] : "", data[rng() % data.size()]});
        }
        RegistryTree forward, backward;
        for (const Op& op : ops) {
            ASSERT_EQ(forward.CreateKey(op.path), S_OK);
            ASSERT_EQ(forward.SetValue(op.path, op.name, op.value), S_OK);
        }
        // Same final content built in reverse order (a later write wins, so
        // replay only the last write of each value).
        for (auto it = ops.rbegin(); it != ops.rend(); ++it) {
            ASSERT_EQ(backward.CreateKey(it->path), S_OK);
            std::string existing;
            if (backward.GetValue(it->path, it->name, &existing) == kNotFound) {
                ASSERT_EQ(backward.SetValue(it->path, it->name, it->value), S_OK);
            }
        }
        const std::string text = FormatRegFile(forward);
        EXPECT_EQ(FormatRegFile(backward), text);
        RegistryTree parsed;
        RegFileError error;
        ASSERT_TRUE(ParseRegFile(text, &parsed, &error)) << error.line << ": " << error.message;
        ASSERT_EQ(FormatRegFile(parsed), text);
        for (const Op& op : ops) {
            std::string value;
            ASSERT_EQ(parsed.GetValue(op.path, op.name, &value), S_OK);
        }
    }
}

TEST(RegFile, ParseErrorsNameTheLine) {
    struct Case {
        const char* text;
        size_t line;
        const char* message;
    } cases[] = {
        {"", 1, "REGEDIT4"},
        {"Windows Registry Editor Version 5.00\n", 1, "REGEDIT4"},
        {"REGEDIT4\n\n\"v\"=\"x\"\n", 3, "before the first"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A\n", 2, "']'"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n", 2, "HKEY_CURRENT_USER"},
        {"REGEDIT4\n[HKEY_CURRENT_USERX\\A]\n", 2, "HKEY_CURRENT_USER"},
        {"REGEDIT4\n[-HKEY_CURRENT_USER\\A]\n", 2, "deletion"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A\\\\B]\n", 2, "malformed key path"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A\\]\n", 2, "malformed key path"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:00000001\n", 3, "only string"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01,02\n", 3, "only string"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"unterminated\n", 3, "unterminated"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v=\"x\"\n", 3, "'='"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"a\\nb\"\n", 3, "unknown escape"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"x\" junk\n", 3, "after the value"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"a\x01\"\n", 3, "control character"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n@\n", 3, "'='"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\nstray text\n", 3, "expected a [key]"},
    };
    for (const Case& c : cases) {
        RegistryTree tree;
        RegFileError error;
        EXPECT_FALSE(ParseRegFile(c.text, &tree, &error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_NE(error.message.find(c.message), std::string::npos)
            << c.text << " -> " << error.message;
    }
}

TEST(RegistryTree, Win32StyleOperations) {
    RegistryTree tree;
    EXPECT_EQ(tree.CreateKey("A\\B\\C"), S_OK);
    EXPECT_EQ(tree.CreateKey("a\\b\\c"), S_OK);  // the same key
    std::vector<std::string> names;
    ASSERT_EQ(tree.EnumSubkeys("a", &names), S_OK);
    EXPECT_EQ(names, std::vector<std::string>{"B"});

    EXPECT_EQ(tree.SetValue("A\\X", "v", "1"), kNotFound);  // key must exist
    EXPECT_EQ(tree.SetValue("A", "v", "1"), S_OK);
    EXPECT_EQ(tree.SetValue("A", "V", "2"), S_OK);  // replaces, keeps the name "v"
    std::vector<std::pair<std::string, std::string>> values;
    ASSERT_EQ(tree.EnumValues("A", &values), S_OK);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0], (std::pair<std::string, std::string>("v", "2")));
    EXPECT_EQ(tree.DeleteValue("A", "missing"), kNotFound);
    EXPECT_EQ(tree.DeleteValue("A", "V"), S_OK);

    EXPECT_EQ(tree.DeleteKey("A\\B"), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));  // has subkeys
    EXPECT_EQ(tree.DeleteKey("A\\B\\C"), S_OK);
    EXPECT_EQ(tree.DeleteKey("A\\B\\C"), kNotFound);
    EXPECT_EQ(tree.CreateKey("A\\B\\D\\E"), S_OK);
    EXPECT_EQ(tree.DeleteTree("a\\b"), S_OK);
    const RegistryKey* key = nullptr;
    EXPECT_EQ(tree.OpenKey("A\\B", &key), kNotFound);
    EXPECT_EQ(tree.OpenKey("a", &key), S_OK);
    EXPECT_TRUE(key->empty());
    EXPECT_EQ(tree.DeleteTree("Missing\\Key"), kNotFound);

    // Malformed paths, names and data.
    for (const char* bad : {"\\A", "A\\", "A\\\\B", "A\nB"}) {
        EXPECT_EQ(tree.CreateKey(bad), E_INVALIDARG) << bad;
    }
    EXPECT_EQ(tree.CreateKey(std::string(256, 'k')), E_INVALIDARG);
    EXPECT_EQ(tree.CreateKey(std::string(255, 'k')), S_OK);
    EXPECT_EQ(tree.DeleteKey(""), E_INVALIDARG);  // the hive itself
    EXPECT_EQ(tree.DeleteTree(""), E_INVALIDARG);
    EXPECT_EQ(tree.SetValue("A", "v", "line\nbreak"), E_INVALIDARG);
    EXPECT_EQ(tree.SetValue("A", "v\r", "x"), E_INVALIDARG);
}

}  // namespace
