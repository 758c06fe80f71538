#include "tools/corvo-imclient/client_options.h"

#include "platform/strict_utf8.h"

namespace corvo::imclient {

std::u16string DefaultAnswerUrl() {
    std::u16string url;
    platform::StrictUtf8ToUtf16("https://" CORVO_ANSWER_HOST "/sso/continue?from=quorix", url);
    return url;
}

std::u16string SiteDescriptionFor(std::u16string_view siteId) {
    auto lower = [](std::u16string_view s) {
        std::u16string out(s);
        for (auto& c : out)
            if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
        return out;
    };
    const std::u16string site = lower(siteId);
    if (site == u"cnmarket") return u"consumer marketplace";
    if (site == u"cnbizchn") return u"business-to-business site";
    return u"";
}

}  // namespace corvo::imclient
