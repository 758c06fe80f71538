// The registry tree over HKEY_CURRENT_USER (a scratch key of it standing in
// for the hive) and the module's registration run over it by the registrar.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "module/module_registration.h"
#include "module/registrar_store_registry.h"
#include "platform/com/guid_text.h"
#include "platform/random_guid.h"
#include "platform/registry_store.h"

namespace corvo::platform {
namespace {

// A fresh scratch key below HKCU\Software, removed afterwards.
class ScratchRegistry : public ::testing::Test {
  protected:
    void SetUp() override {
        GUID guid{};
        ASSERT_EQ(CreateRandomGuid(&guid), S_OK);
        root_ = "Software\\CorvoTest" + GuidToAscii(guid);
        RegistryTree hive("");
        ASSERT_EQ(hive.CreateKey(root_), S_OK);
    }
    void TearDown() override {
        RegistryTree hive("");
        hive.DeleteTree(root_);
    }

    // Every key below the root with its values, depth first, for comparisons.
    std::vector<std::string> Dump(const std::string& path = "") const {
        RegistryTree tree(root_);
        std::vector<std::string> lines;
        std::vector<std::pair<std::string, std::string>> values;
        EXPECT_EQ(tree.EnumValues(path, &values), S_OK);
        for (auto& [name, data] : values) lines.push_back(path + " " + name + "=" + data);
        std::vector<std::string> subkeys;
        EXPECT_EQ(tree.EnumSubkeys(path, &subkeys), S_OK);
        for (const std::string& key : subkeys) {
            const std::string child = path.empty() ? key : path + "\\" + key;
            lines.push_back("[" + child + "]");
            for (std::string& line : Dump(child)) lines.push_back(std::move(line));
        }
        return lines;
    }

    std::string root_;
};

const HRESULT kNotFound = HResultFromWin32(ERROR_FILE_NOT_FOUND);

TEST_F(ScratchRegistry, OperationsAnswerAsTheInMemoryTreeDoes) {
    RegistryTree tree(root_);
    std::string data;
    // Missing keys and values.
    EXPECT_EQ(tree.GetValue("A", "", &data), kNotFound);
    EXPECT_EQ(tree.SetValue("A", "", "x"), kNotFound);
    EXPECT_EQ(tree.DeleteValue("A", "v"), kNotFound);
    EXPECT_EQ(tree.DeleteTree("A"), kNotFound);
    // Creation of the whole path, values, UTF-8 both ways.
    ASSERT_EQ(tree.CreateKey("A\\B\\C"), S_OK);
    EXPECT_EQ(tree.CreateKey("A\\B"), S_OK);
    ASSERT_EQ(tree.SetValue("A\\B", "", "默认"), S_OK);
    ASSERT_EQ(tree.SetValue("A\\B", "Name", "value"), S_OK);
    EXPECT_EQ(tree.GetValue("a\\b", "", &data), S_OK);  // names ignore case
    EXPECT_EQ(data, "默认");
    EXPECT_EQ(tree.GetValue("A\\B", "NAME", &data), S_OK);
    EXPECT_EQ(data, "value");
    EXPECT_EQ(tree.GetValue("A\\B", "other", &data), kNotFound);
    // A key with subkeys is not deleted by DeleteKey, but by DeleteTree.
    EXPECT_EQ(tree.DeleteKey("A\\B"), HResultFromWin32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(tree.DeleteKey("A\\B\\C"), S_OK);
    EXPECT_EQ(tree.DeleteValue("A\\B", "Name"), S_OK);
    EXPECT_EQ(tree.DeleteValue("A\\B", "Name"), kNotFound);
    EXPECT_EQ(tree.DeleteTree("A"), S_OK);
    EXPECT_TRUE(Dump().empty());
    // Text that is not UTF-8 never reaches the registry.
    EXPECT_EQ(tree.CreateKey("bad\xff"), E_INVALIDARG);
    EXPECT_EQ(tree.DeleteKey(""), E_INVALIDARG);
}

TEST_F(ScratchRegistry, StoreRunsChangesOnTheLiveRegistry) {
    const RegistryStore store(root_);
    EXPECT_EQ(store.Update([](RegistryTree& tree) { return tree.CreateKey("K"); }), S_OK);
    // No transaction: what a failing change did stays.
    EXPECT_EQ(store.Update([](RegistryTree& tree) {
        tree.CreateKey("L");
        return E_FAIL;
    }),
              E_FAIL);
    EXPECT_EQ(Dump(), (std::vector<std::string>{"[K]", "[L]"}));
    EXPECT_EQ(RegistryStore::DefaultPath(), "HKEY_CURRENT_USER");
}

// The module's whole registration over the scratch key: the keys of both
// scripts and of the type library, the same set after registering twice, and
// nothing left but the NoRemove keys after unregistering.
TEST_F(ScratchRegistry, ModuleRegistrationIsIdempotentAndUndone) {
    const RegistryStore store(root_);
    const std::string module = CORVO_MODULE_PATH;
    const auto run = [&](module::RegistrarMode mode) {
        std::string message;
        const HRESULT hr = module::UpdateModuleRegistration(store, module, mode, &message);
        EXPECT_EQ(hr, S_OK) << message;
    };
    run(module::RegistrarMode::kRegister);
    const std::vector<std::string> once = Dump();
    std::string data;
    RegistryTree tree(root_);
    EXPECT_EQ(tree.GetValue("Software\\Classes\\CLSID\\{98EF2EC8-D064-491a-8111-3285E786E832}"
                            "\\InprocServer32",
                            "", &data),
              S_OK);
    EXPECT_EQ(data, module);
    // The platform of the library the module carries: its bitness's.
    const std::string platform = sizeof(void*) == 8 ? "win64" : "win32";
    EXPECT_EQ(tree.GetValue("Software\\Classes\\TypeLib\\{9AAF5B5F-9BAC-446C-9CFE-88893E8BE925}"
                            "\\1.0\\0\\" +
                                platform,
                            "", &data),
              S_OK);
    EXPECT_EQ(data, module);
    EXPECT_EQ(tree.GetValue("Software\\Classes\\TypeLib\\{9AAF5B5F-9BAC-446C-9CFE-88893E8BE925}"
                            "\\1.0",
                            "", &data),
              S_OK);
    EXPECT_EQ(data, "CorvoSSOLogin 1.0 类型库");

    run(module::RegistrarMode::kRegister);
    EXPECT_EQ(Dump(), once);

    run(module::RegistrarMode::kUnregister);
    EXPECT_EQ(Dump(), (std::vector<std::string>{
                          "[Software]", "[Software\\Classes]", "[Software\\Classes\\AppID]",
                          "[Software\\Classes\\CLSID]", "[Software\\Classes\\Interface]",
                          "[Software\\Classes\\TypeLib]"}));
}

TEST_F(ScratchRegistry, AModuleWithoutItsTypeLibraryDoesNotRegisterIt) {
    const RegistryStore store(root_);
    std::string message;
    // Neither a resource nor a ".tlb" beside it: the loader's error, and the
    // type library's keys are not written.
    const HRESULT hr = module::UpdateModuleRegistration(store, "C:\\nowhere\\CorvoSSOLogin.dll",
                                                        module::RegistrarMode::kRegister, &message);
    EXPECT_TRUE(FAILED(hr));
    RegistryTree tree(root_);
    std::vector<std::string> keys;
    EXPECT_EQ(tree.EnumSubkeys("Software\\Classes\\TypeLib", &keys), kNotFound);
    // A path that does not fit MAX_PATH.
    const std::string longPath = "C:\\" + std::string(300, 'x') + ".dll";
    EXPECT_EQ(module::UpdateModuleRegistration(store, longPath, module::RegistrarMode::kRegister),
              HResultFromWin32(ERROR_INSUFFICIENT_BUFFER));
}

}  // namespace
}  // namespace corvo::platform
