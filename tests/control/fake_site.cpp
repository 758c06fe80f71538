#include "tests/control/fake_site.h"

#include "control/site_lock.h"

namespace corvo::test {

std::u16string AllowedPage() {
    const SiteLockEntry* table = CSiteLock::Table();
    for (uint32_t i = 0; i < CSiteLock::kEntryCount; ++i) {
        const char16_t* d = table[i].domain;
        if (!d || d == kSiteLockIntranet || d == kSiteLockMyComputer || d == kSiteLockTrusted)
            continue;
        if (d[0] != u'*' && d[0] != u'=' && d[0] != 0)
            return u"https://" + std::u16string(d) + u"/";
    }
    return u"https://no-plain-host-configured/";
}

}  // namespace corvo::test
