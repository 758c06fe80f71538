#include "module/registrar.h"

#include <string>

#include "module/registry_scripts.h"
#include "platform/com/hresult_name.h"

namespace corvo::module {

namespace {

constexpr uint32_t kErrorResourceNameNotFound = 1814;

class Executor {
  public:
    Executor(RegistrarMode mode, RegistrarRegistry& registry, RegistrarError* error)
        : mode_(mode), registry_(registry), error_(error) {}

    HRESULT Run(const RegistrarScript& script) {
        for (const ScriptRootBlock& block : script.roots) {
            root_ = block.root;
            for (const ScriptKey& key : block.keys) {
                const HRESULT hr = Key(std::string(), key);
                if (FAILED(hr)) return hr;
            }
        }
        return S_OK;
    }

  private:
    // Checks one registry operation; records the failure with the script position.
    HRESULT Check(HRESULT hr, const char* action, const std::string& path,
                  const ScriptPosition& at) {
        if (FAILED(hr) && error_ != nullptr) {
            error_->position = at;
            error_->message =
                std::string("cannot ") + action + " " + path + ": " + corvo::DescribeHResult(hr);
        }
        return hr;
    }

    HRESULT Key(const std::string& parent, const ScriptKey& key) {
        const std::string path = parent.empty() ? key.name : parent + "\\" + key.name;
        return mode_ == RegistrarMode::kRegister ? Register(path, key) : Unregister(path, key);
    }

    HRESULT Subkeys(const std::string& path, const ScriptKey& key) {
        for (const ScriptKey& subkey : key.subkeys) {
            const HRESULT hr = Key(path, subkey);
            if (FAILED(hr)) return hr;
        }
        return S_OK;
    }

    HRESULT Register(const std::string& path, const ScriptKey& key) {
        if (key.disposition == KeyDisposition::kDelete ||
            key.disposition == KeyDisposition::kForceRemove) {
            const HRESULT hr =
                Check(registry_.DeleteTree(root_, path), "delete key", path, key.position);
            if (FAILED(hr) || key.disposition == KeyDisposition::kDelete) return hr;
        }
        HRESULT hr = Check(registry_.CreateKey(root_, path), "create key", path, key.position);
        if (FAILED(hr)) return hr;
        if (key.defaultValue) {
            hr = Check(registry_.SetStringValue(root_, path, "", *key.defaultValue),
                       "set the default value of", path, key.position);
            if (FAILED(hr)) return hr;
        }
        for (const ScriptValue& value : key.values) {
            hr = Check(registry_.SetStringValue(root_, path, value.name, value.data), "set value",
                       path + " : " + value.name, value.position);
            if (FAILED(hr)) return hr;
        }
        return Subkeys(path, key);
    }

    HRESULT Unregister(const std::string& path, const ScriptKey& key) {
        switch (key.disposition) {
            case KeyDisposition::kDelete:
                return S_OK;
            case KeyDisposition::kForceRemove:
                return Check(registry_.DeleteTree(root_, path), "delete key", path, key.position);
            case KeyDisposition::kNoRemove:
            case KeyDisposition::kNormal:
                break;
        }
        HRESULT hr = Check(registry_.KeyExists(root_, path), "open key", path, key.position);
        if (hr != S_OK) return hr;
        hr = Subkeys(path, key);
        if (FAILED(hr)) return hr;
        for (const ScriptValue& value : key.values) {
            hr = Check(registry_.DeleteValue(root_, path, value.name), "delete value",
                       path + " : " + value.name, value.position);
            if (FAILED(hr)) return hr;
        }
        if (key.disposition == KeyDisposition::kNoRemove) return S_OK;
        if (key.defaultValue) {
            hr = Check(registry_.DeleteValue(root_, path, ""), "delete the default value of", path,
                       key.position);
            if (FAILED(hr)) return hr;
        }
        hr = Check(registry_.DeleteKeyIfEmpty(root_, path), "delete key", path, key.position);
        return FAILED(hr) ? hr : S_OK;
    }

    RegistrarMode mode_;
    RegistrarRegistry& registry_;
    RegistrarError* error_;
    RegistryRoot root_ = RegistryRoot::kCurrentUser;
};

bool IsValidReplacementName(std::string_view name) {
    if (name.empty()) return false;
    for (const char c : name) {
        if (c == '%' || c == ' ' || c == '\t' || c == '\r' || c == '\n') return false;
    }
    return true;
}

}  // namespace

HRESULT ExecuteRegistrarScript(const RegistrarScript& script, RegistrarMode mode,
                               RegistrarRegistry& registry, RegistrarError* error) {
    Executor executor(mode, registry, error);
    const HRESULT hr = executor.Run(script);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT Registrar::AddReplacement(std::string_view name, std::string_view value) {
    if (!IsValidReplacementName(name)) return E_INVALIDARG;
    replacements_.insert_or_assign(std::string(name), std::string(value));
    return S_OK;
}

HRESULT Registrar::Run(std::string_view script, RegistrarMode mode, RegistrarRegistry& registry,
                       RegistrarError* error) const {
    RegistrarScript parsed;
    const HRESULT hr = ParseRegistrarScript(script, replacements_, &parsed, error);
    if (FAILED(hr)) return hr;
    return ExecuteRegistrarScript(parsed, mode, registry, error);
}

HRESULT Registrar::RunScript(int id, RegistrarMode mode, RegistrarRegistry& registry,
                             RegistrarError* error) const {
    const char* script = RegistryScript(id);
    if (script == nullptr) {
        if (error != nullptr) {
            error->position = {};
            error->message = "no registry script " + std::to_string(id);
        }
        return HResultFromWin32(kErrorResourceNameNotFound);
    }
    return Run(script, mode, registry, error);
}

}  // namespace corvo::module
