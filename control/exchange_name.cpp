#include "control/exchange_name.h"

#include <cstdio>

#include "platform/random_guid.h"
#include "platform/tick_count.h"

namespace corvo::control {

std::u16string MakeExchangeName(GuidSource createGuid, TickSource tickCount) {
    GUID guid{};
    if (SUCCEEDED(createGuid(&guid))) return GuidToText(guid);
    char digits[16];
    const int n = std::snprintf(digits, sizeof digits, "%d", static_cast<int32_t>(tickCount()));
    std::u16string name(kFallbackNamePrefix);
    for (int i = 0; i < n; ++i) name += char16_t(digits[i]);
    return name;
}

std::u16string MakeExchangeName() {
    return MakeExchangeName(platform::CreateRandomGuid, platform::GetTickCount);
}

std::u16string MakeUserBlockName(std::u16string_view fullUserId) {
    std::u16string name(kUserBlockPrefix);
    name += fullUserId;
    return name;
}

}  // namespace corvo::control
