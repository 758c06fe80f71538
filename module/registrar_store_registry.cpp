#include "module/registrar_store_registry.h"

#include <string>
#include <utility>
#include <vector>

namespace corvo::module {

namespace {

const HRESULT kNotFound = HResultFromWin32(ERROR_FILE_NOT_FOUND);

// S_FALSE for "not there", otherwise the result itself.
HRESULT MissingIsFalse(HRESULT hr) {
    return hr == kNotFound ? S_FALSE : hr;
}

}  // namespace

bool RegistrarStoreRegistry::TreePath(RegistryRoot root, std::string_view path, std::string* out) {
    switch (root) {
        case RegistryRoot::kCurrentUser:
            out->assign(path);
            return true;
        case RegistryRoot::kClassesRoot:
            out->assign("Software\\Classes");
            if (!path.empty()) out->append("\\").append(path);
            return true;
        case RegistryRoot::kLocalMachine:
            break;
    }
    return false;
}

HRESULT RegistrarStoreRegistry::KeyExists(RegistryRoot root, std::string_view path) {
    return OnTree(root, path, [this](const std::string& full) {
        std::vector<std::string> subkeys;
        const HRESULT hr = tree_.EnumSubkeys(full, &subkeys);
        return FAILED(hr) ? MissingIsFalse(hr) : S_OK;
    });
}

HRESULT RegistrarStoreRegistry::GetStringValue(RegistryRoot root, std::string_view path,
                                               std::string_view name, std::string* data) {
    data->clear();
    return OnTree(root, path, [&](const std::string& full) {
        const HRESULT hr = MissingIsFalse(tree_.GetValue(full, name, data));
        if (hr != S_OK) data->clear();
        return hr;
    });
}

HRESULT RegistrarStoreRegistry::CreateKey(RegistryRoot root, std::string_view path) {
    return OnTree(root, path, [this](const std::string& full) { return tree_.CreateKey(full); });
}

HRESULT RegistrarStoreRegistry::SetStringValue(RegistryRoot root, std::string_view path,
                                               std::string_view name, std::string_view data) {
    return OnTree(root, path,
                  [&](const std::string& full) { return tree_.SetValue(full, name, data); });
}

HRESULT RegistrarStoreRegistry::DeleteValue(RegistryRoot root, std::string_view path,
                                            std::string_view name) {
    return OnTree(root, path, [&](const std::string& full) {
        return MissingIsFalse(tree_.DeleteValue(full, name));
    });
}

HRESULT RegistrarStoreRegistry::DeleteTree(RegistryRoot root, std::string_view path) {
    return OnTree(root, path, [this](const std::string& full) {
        return MissingIsFalse(tree_.DeleteTree(full));
    });
}

HRESULT RegistrarStoreRegistry::DeleteKeyIfEmpty(RegistryRoot root, std::string_view path) {
    return OnTree(root, path, [this](const std::string& full) {
        std::vector<std::string> subkeys;
        std::vector<std::pair<std::string, std::string>> values;
        HRESULT hr = tree_.EnumSubkeys(full, &subkeys);
        if (SUCCEEDED(hr)) hr = tree_.EnumValues(full, &values);
        if (FAILED(hr)) return MissingIsFalse(hr);
        if (!subkeys.empty() || !values.empty()) return S_FALSE;
        return tree_.DeleteKey(full);
    });
}

HRESULT UpdateStoreThroughRegistrar(const platform::RegistryStore& store,
                                    const std::function<HRESULT(RegistrarRegistry&)>& action,
                                    std::string* message) {
    return store.Update(
        [&action](platform::RegistryTree& tree) {
            RegistrarStoreRegistry registry(tree);
            return action(registry);
        },
        message);
}

}  // namespace corvo::module
