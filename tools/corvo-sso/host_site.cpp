#include "tools/corvo-sso/host_site.h"

#include "control/object_safety_site_lock.h"
#include "control/site_lock.h"
#include "platform/com/com_ptr.h"

namespace corvo::cli {

std::u16string DefaultPageAddress(IUnknown* control) {
    ComPtr<IObjectSafetySiteLock> lock;
    const SiteLockEntry* table = nullptr;
    DWORD count = 0;
    if (FAILED(ComPtr<IUnknown>(control).As(IID_IObjectSafetySiteLock, &lock)) ||
        FAILED(lock->GetAllowedSiteList(&table, &count)))
        count = 0;
    for (DWORD i = 0; i < count; ++i) {
        const char16_t* domain = table[i].domain;
        if (!domain || domain == kSiteLockIntranet || domain == kSiteLockMyComputer ||
            domain == kSiteLockTrusted)
            continue;
        std::u16string_view host(domain);
        if (host.empty() || host[0] == u'*' || host[0] == u'=') continue;
        return u"https://" + std::u16string(host) + u"/";
    }
    return u"https://localhost/";
}

}  // namespace corvo::cli
