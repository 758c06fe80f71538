#include "tools/corvo-sso/inproc_server_lookup.h"

#include <optional>
#include <vector>

#include "platform/com/guid_text.h"

namespace corvo::cli {
namespace {

constexpr char kClasses[] = "Software\\Classes\\";
// CurVer chains longer than this are taken for a loop.
constexpr int kMaxCurVerSteps = 8;

// HKEY_CLASSES_ROOT as Windows merges it: a key the user has is the user's,
// values and all; otherwise the machine's.
class ClassesView {
  public:
    ClassesView(const platform::RegistryTree& user, const platform::RegistryTree* machine)
        : user_(user), machine_(machine) {}

    HRESULT GetValue(const std::string& key, std::string_view name, std::string* data) const {
        std::vector<std::string> subkeys;
        if (machine_ == nullptr || SUCCEEDED(user_.EnumSubkeys(key, &subkeys)))
            return user_.GetValue(key, name, data);
        return machine_->GetValue(key, name, data);
    }

  private:
    const platform::RegistryTree& user_;
    const platform::RegistryTree* machine_;
};

HRESULT Lookup(const ClassesView& tree, std::string_view prog_id, InprocServerLocation* location,
               std::string* message) {
    std::string current(prog_id);
    for (int step = 0;; ++step) {
        std::string next;
        if (FAILED(tree.GetValue(kClasses + current + "\\CurVer", "", &next)) || next == current)
            break;
        if (step == kMaxCurVerSteps) {
            *message = "the CurVer entries of ProgID \"" + std::string(prog_id) + "\" form a loop";
            return REGDB_E_CLASSNOTREG;
        }
        current = std::move(next);
    }
    std::string clsid_text;
    if (FAILED(tree.GetValue(kClasses + current + "\\CLSID", "", &clsid_text))) {
        *message = "ProgID \"" + std::string(prog_id) + "\" is not registered";
        return REGDB_E_CLASSNOTREG;
    }
    if (!GuidFromAscii(clsid_text, &location->clsid)) {
        *message = "ProgID \"" + current + "\" names \"" + clsid_text + "\", which is not a CLSID";
        return CO_E_CLASSSTRING;
    }
    if (FAILED(tree.GetValue(std::string(kClasses) + "CLSID\\" + clsid_text + "\\InprocServer32",
                             "", &location->module_path)) ||
        location->module_path.empty()) {
        *message = "class " + clsid_text + " has no in-process server registered";
        return REGDB_E_CLASSNOTREG;
    }
    location->prog_id = std::move(current);
    return S_OK;
}

}  // namespace

HRESULT FindInprocServer(const platform::RegistryStore& store,
                         const platform::RegistryStore* machine, std::string_view prog_id,
                         InprocServerLocation* location, std::string* message) {
    std::string lookup_message;
    const HRESULT hr = store.Read(
        [&](const platform::RegistryTree& user) {
            if (machine == nullptr)
                return Lookup(ClassesView(user, nullptr), prog_id, location, &lookup_message);
            return machine->Read(
                [&](const platform::RegistryTree& machine_tree) {
                    return Lookup(ClassesView(user, &machine_tree), prog_id, location,
                                  &lookup_message);
                },
                &lookup_message);
        },
        &lookup_message);
    if (message) *message = std::move(lookup_message);
    return hr;
}

HRESULT FindInprocServer(std::string_view prog_id, InprocServerLocation* location,
                         std::string* message) {
    const platform::RegistryStore user;
    const std::optional<platform::RegistryStore> machine = platform::RegistryStore::Machine();
    return FindInprocServer(user, machine ? &*machine : nullptr, prog_id, location, message);
}

}  // namespace corvo::cli
