// RegistryStore: the current user's registry, kept in one REGEDIT4 file (see
// reg_file.h) since POSIX systems have no registry; and the machine's, in a
// second file that every user reads below their own (as Windows reads
// HKEY_LOCAL_MACHINE\Software\Classes below the user's classes).
//
// The user's file is $CORVO_REGISTRY when that variable is set, otherwise
// $XDG_CONFIG_HOME/corvo-sso/registry.reg, otherwise
// ~/.config/corvo-sso/registry.reg. The machine's file is
// $CORVO_MACHINE_REGISTRY when set, otherwise the build's
// CORVO_MACHINE_REGISTRY_FILE (/etc/corvo-sso/registry.reg). A missing file
// is an empty registry.
//
// Update() is one transaction: it takes an exclusive flock on "<file>.lock"
// (a separate file, since the data file itself is replaced), loads the file,
// applies the change to the in-memory tree and, only when the change
// succeeds, writes "<file>.tmp" in the same directory, fsyncs it, renames it
// over the file and fsyncs the directory. Concurrent updates from any number
// of processes are therefore serialised and lose nothing, and a crash leaves
// either the old or the new file, never a mix. A file that cannot be parsed
// is reported (with its line number) and never overwritten. Missing
// directories are created with mode 0700 and the file gets mode 0600 for the
// user's registry; the machine's is for everybody to read (0755, 0644), and
// its sections name HKEY_LOCAL_MACHINE instead of HKEY_CURRENT_USER.
//
// Read() parses the file without locking: a reader always sees a complete
// file because writers replace it atomically.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/com/com.h"
#include "platform/posix/registry_tree.h"

namespace corvo::platform {

// The file cannot be parsed (ERROR_BADDB: the registry database is corrupt).
inline constexpr HRESULT kRegistryFileCorrupt = HRESULT_FROM_WIN32(1009);

enum class RegistryScope { kUser, kMachine };

class RegistryStore {
  public:
    using Change = std::function<HRESULT(RegistryTree&)>;
    using Lookup = std::function<HRESULT(const RegistryTree&)>;

    explicit RegistryStore(std::string path, RegistryScope scope = RegistryScope::kUser);
    // The store at DefaultPath().
    RegistryStore();

    // The file of the current user's registry; "" when neither CORVO_REGISTRY,
    // XDG_CONFIG_HOME nor a home directory is known.
    static std::string DefaultPath();
    // The file of the machine's registry.
    static std::string MachinePath();
    // The machine's registry, read below the user's (docs/registration.md).
    static std::optional<RegistryStore> Machine();

    const std::string& path() const { return path_; }
    RegistryScope scope() const { return scope_; }

    // Lock, load, change, save when the change succeeds, unlock. Returns the
    // change's result, or the failure of loading or saving. `message`, when
    // given, receives a text for failures other than the change's own.
    HRESULT Update(const Change& change, std::string* message = nullptr) const;

    // Loads the file and runs `lookup` on it; returns the lookup's result.
    HRESULT Read(const Lookup& lookup, std::string* message = nullptr) const;

    // One Update() in which `action` runs with the current user's registry
    // (CORVO_REGISTRY) pointed at a private copy of this store's content;
    // what `action` leaves in the copy is saved when it succeeds. This is how
    // a module's own per-user registration is written into the machine's
    // registry. Not thread-safe: it changes the process's environment.
    HRESULT UpdateAsUserRegistry(const std::function<HRESULT()>& action,
                                 std::string* message = nullptr) const;

    // Test seam: called while saving, after the temporary file is written and
    // synced and before it replaces the file. A failure aborts the save.
    void SetBeforeReplaceHookForTesting(std::function<HRESULT()> hook) {
        beforeReplace_ = std::move(hook);
    }

  private:
    HRESULT Load(RegistryTree* tree, std::string* loadedText, std::string* message) const;
    HRESULT Save(const std::string& text, std::string* message) const;

    std::string path_;
    RegistryScope scope_ = RegistryScope::kUser;
    std::function<HRESULT()> beforeReplace_;
};

}  // namespace corvo::platform
