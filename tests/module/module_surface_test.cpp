// What the module shows the outside: its exported symbols, and the GUIDs its
// registry scripts write, which must be the IDL's.
#include <cstdio>
#include <memory>
#include <regex>
#include <set>

#include "module/registry_scripts.h"
#include "module_test_support.h"
#include "platform/com/guid_text.h"

namespace corvo::module::test {
namespace {

std::set<std::string> DefinedDynamicSymbols(const std::string& path) {
    std::set<std::string> names;
    const std::string command = "nm -D --defined-only '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return names;
    char line[1024];
    while (fgets(line, sizeof line, pipe.get())) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        names.insert(text.substr(text.rfind(' ') + 1));
    }
    return names;
}

TEST(ModuleSurface, ExportsOnlyTheFourEntryPoints) {
    const std::set<std::string> expected(std::begin(kExportNames), std::end(kExportNames));
    EXPECT_EQ(DefinedDynamicSymbols(CORVO_MODULE_PATH), expected);
    // And they are found by name as a host finds them.
    void* handle = dlopen(CORVO_MODULE_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (!handle) handle = dlopen(CORVO_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    for (const char* name : kExportNames) EXPECT_NE(dlsym(handle, name), nullptr) << name;
    for (const char* name : {"_ZN5corvo6module11ClassTableEv", "CreateXParam", "main"})
        EXPECT_EQ(dlsym(handle, name), nullptr) << name;
    dlclose(handle);
}

std::set<std::string> GuidsIn(const char* script) {
    std::set<std::string> guids;
    static const std::regex kGuid(
        R"(\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\})");
    const std::string text = script ? script : "";
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kGuid);
         it != std::sregex_iterator(); ++it) {
        GUID guid;
        EXPECT_TRUE(GuidFromAscii(it->str(), &guid)) << it->str();
        guids.insert(GuidToAscii(guid));  // one spelling per GUID
    }
    return guids;
}

// The registry scripts spell GUIDs by hand; each must be the IDL's.
TEST(ModuleSurface, ScriptGuidsAreTheIdlGuids) {
    EXPECT_EQ(GuidsIn(RegistryScript(kAppIdScriptId)), std::set<std::string>{})
        << "the AppID script takes its GUID from %APPID%";
    EXPECT_EQ(GuidsIn(RegistryScript(kSSOLoginCtrlScriptId)),
              (std::set<std::string>{GuidToAscii(CLSID_SSOLoginCtrl),
                                     GuidToAscii(LIBID_CorvoSSOLoginLib)}));
}

}  // namespace
}  // namespace corvo::module::test
