#include "tools/corvo-sso/temp_directory.h"

#include <system_error>

#include "platform/com/com.h"
// after com.h, which declares GUID
#include "platform/com/guid_text.h"
#include "platform/random_guid.h"

namespace corvo::cli {
namespace {

namespace fs = std::filesystem;

// A few names in case one exists already (it never should: they are random).
constexpr int kAttempts = 4;

}  // namespace

TempDirectory::~TempDirectory() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
}

bool TempDirectory::Create(std::string_view prefix) {
    if (!path_.empty()) return false;
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    if (error) return false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        GUID guid{};
        if (FAILED(platform::CreateRandomGuid(&guid))) return false;
        std::string suffix = GuidToAscii(guid);  // "{XXXXXXXX-...}"
        suffix = suffix.substr(1, suffix.size() - 2);
        const fs::path candidate = base / (std::string(prefix) + suffix);
        if (!fs::create_directory(candidate, error)) {
            if (error) return false;
            continue;  // it existed
        }
        path_ = candidate;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::replace, error);
        if (error) {
            fs::remove(path_, error);
            path_.clear();
            return false;
        }
        return true;
    }
    return false;
}

}  // namespace corvo::cli
