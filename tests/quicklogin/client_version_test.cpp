// GetQXClientVersion: the module directory, the configuration file beside it
// and the item-list rule.
#include "control/client_version.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/module_file.h"
#include "tests/quicklogin/quicklogin_test_support.h"

namespace corvo::test {
namespace {

TEST(ModuleDirectory, CutAfterTheLastSeparatorOfEitherKind) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"C:\\Program Files\\Client\\ctrl.dll", u"C:\\Program Files\\Client\\"},
        {u"/opt/client/libCorvoSSOLogin.so", u"/opt/client/"},
        {u"/opt/a\\b/c\\lib.so", u"/opt/a\\b/c\\"},
        {u"C:\\a/b\\c", u"C:\\a/b\\"},
        {u"/lib.so", u"/"},
        {u"dir/", u"dir/"},
        {u"lib.so", u""},
        {u"", u""},
    };
    for (const auto& [path, dir] : cases)
        EXPECT_EQ(control::ModuleDirectory(path), dir) << std::string(path.begin(), path.end());
}

TEST(ModuleFile, IsTheFileHoldingTheCode) {
    // The control is linked into this test program.
    const auto path =
        platform::GetModuleFileName(reinterpret_cast<const void*>(&control::LookUpClientVersion));
    ASSERT_TRUE(path);
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    const std::u16string expected = self.u16string();
    EXPECT_EQ(*path, expected);
    EXPECT_FALSE(platform::GetModuleFileName(nullptr));
}

class ClientVersion : public QuickLoginTest {
  protected:
    std::u16string Write(const std::string& name, const std::string& content) {
        const std::string path = root_ + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return std::filesystem::path(path).u16string();
    }
    srlz::XParamSLHelper helper_;
};

TEST_F(ClientVersion, ItemListRule) {
    const std::pair<const char*, std::u16string_view> cases[] = {
        {"<config><item id=\"VersionString\">3.2.1</item></config>", u"3.2.1"},
        {"<c><item id=\"VersionString\">first</item><item id=\"VersionString\">second</item></c>",
         u"first"},
        {"<c><item id=\"versionstring\">lower</item><item id=\"VERSIONSTRING\">upper</item></c>",
         u""},
        {"<c><item id=\"versionString\">x</item><item id=\"VersionString\">right</item></c>",
         u"right"},
        {"<c><item><id>VersionString</id>child id</item></c>", u"child id"},
        {"<c><other id=\"VersionString\">no item</other></c>", u""},
        {"<c><item id=\"VersionString\"></item></c>", u""},
        {"<c><item id=\"VersionString\">unclosed</c>", u""},
        {"not xml at all", u""},
        {"", u""},
    };
    for (const auto& [content, version] : cases) {
        SCOPED_TRACE(content);
        EXPECT_EQ(control::ReadClientVersion(helper_, Write("staticconfig.xml", content)), version);
    }
    EXPECT_EQ(control::ReadClientVersion(helper_, u"/nonexistent/configurations/staticconfig.xml"),
              u"");
    EXPECT_EQ(control::ReadClientVersion(helper_, Write("", "")), u"");  // a directory
}

// The one test that places a configuration file beside the test program.
TEST_F(ClientVersion, ReadBesideTheModuleAnewOnEveryCall) {
    const auto self = std::filesystem::canonical("/proc/self/exe");
    const auto dir = self.parent_path() / "configurations";
    const auto file = dir / "staticconfig.xml";
    std::filesystem::create_directories(dir);
    HostedControl h(AllowedPage());

    std::filesystem::remove(file);
    BstrPtr version;
    ASSERT_EQ(h.ctrl->GetQXClientVersion(version.Out()), S_OK);
    ASSERT_TRUE(version);
    EXPECT_EQ(version.View(), u"");

    std::ofstream(file) << "<cfg><item id=\"VersionString\">7.0.12</item></cfg>";
    ASSERT_EQ(h.ctrl->GetQXClientVersion(version.Out()), S_OK);
    EXPECT_EQ(version.View(), u"7.0.12");

    std::ofstream(file) << "<cfg><item id=\"VersionString\">7.0.13</item></cfg>";
    ASSERT_EQ(h.ctrl->GetQXClientVersion(version.Out()), S_OK);
    EXPECT_EQ(version.View(), u"7.0.13");  // nothing is cached

    std::filesystem::remove_all(dir);
    ASSERT_EQ(h.ctrl->GetQXClientVersion(version.Out()), S_OK);
    EXPECT_EQ(version.View(), u"");
}

}  // namespace
}  // namespace corvo::test
