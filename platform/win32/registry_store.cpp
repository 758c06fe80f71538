#include "platform/registry_store.h"

namespace corvo::platform {

HRESULT RegistryStore::Update(const Change& change, std::string*) const {
    RegistryTree tree(path_);
    return change(tree);
}

HRESULT RegistryStore::Read(const Lookup& lookup, std::string*) const {
    const RegistryTree tree(path_);
    return lookup(tree);
}

}  // namespace corvo::platform
