// The module under test, loaded once per test process with dlopen as a host
// loads it, and a private registry file for the registration tests.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "corvo_sso_login.h"
#include "module/module_exports.h"
#include "platform/com/com.h"
#include "platform/com/com_ptr.h"

namespace corvo::module::test {

// The module's exports. The module stays loaded for the whole process.
struct Module {
    DllGetClassObjectFunction GetClassObject = nullptr;
    DllCanUnloadNowFunction CanUnloadNow = nullptr;
    DllRegisterServerFunction RegisterServer = nullptr;
    DllUnregisterServerFunction UnregisterServer = nullptr;

    static const Module& Get() {
        static const Module module = Load();
        return module;
    }

  private:
    static Module Load() {
        Module m;
        void* handle = dlopen(CORVO_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            ADD_FAILURE() << dlerror();
            return m;
        }
        m.GetClassObject =
            reinterpret_cast<DllGetClassObjectFunction>(dlsym(handle, "DllGetClassObject"));
        m.CanUnloadNow =
            reinterpret_cast<DllCanUnloadNowFunction>(dlsym(handle, "DllCanUnloadNow"));
        m.RegisterServer =
            reinterpret_cast<DllRegisterServerFunction>(dlsym(handle, "DllRegisterServer"));
        m.UnregisterServer =
            reinterpret_cast<DllUnregisterServerFunction>(dlsym(handle, "DllUnregisterServer"));
        return m;
    }
};

inline ComPtr<IClassFactory> ClassObject(REFCLSID clsid) {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(Module::Get().GetClassObject(clsid, IID_IClassFactory, factory.OutVoid()), S_OK);
    return factory;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A fresh directory holding the registry file, named by CORVO_REGISTRY while
// the object lives.
class PrivateRegistry {
  public:
    PrivateRegistry() {
        std::string pattern = std::filesystem::temp_directory_path() / "corvo-module-XXXXXX";
        if (::mkdtemp(pattern.data())) directory_ = pattern;
        path_ = directory_ + "/registry.reg";
        ::setenv("CORVO_REGISTRY", path_.c_str(), 1);
    }
    PrivateRegistry(const PrivateRegistry&) = delete;
    PrivateRegistry& operator=(const PrivateRegistry&) = delete;
    ~PrivateRegistry() {
        ::unsetenv("CORVO_REGISTRY");
        std::error_code ignored;
        if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
    }

    const std::string& path() const { return path_; }
    std::string Text() const { return ReadText(path_); }
    void Write(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }

  private:
    std::string directory_;
    std::string path_;
};

}  // namespace corvo::module::test
