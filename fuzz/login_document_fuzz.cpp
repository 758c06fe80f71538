// The document readers on arbitrary text. Input starting with 0xFF is UTF-16
// little-endian after that byte; any other input is taken byte by byte as
// code units (so seeds stay readable). Every reader runs; what a login or
// user document yields is written and read back, which must parse and settle
// after one pass (the reader trims blanks and drops literal line breaks).
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/xparam_sl_helper.h"
#include "xparam/xparam_parser.h"

namespace {

using namespace corvo::srlz;

const XParamSLHelper kHelper;

template <class Record, class Write, class Read>
void CheckRewrite(const Record& first, Write write, Read read) {
    std::u16string text;
    if (!(kHelper.*write)(first, text)) __builtin_trap();
    Record second;
    if (!(kHelper.*read)(text, second)) __builtin_trap();
    if (!(kHelper.*write)(second, text)) __builtin_trap();
    Record third;
    if (!(kHelper.*read)(text, third)) __builtin_trap();
    if (!(third == second)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text;
    if (size > 0 && data[0] == 0xFF) {
        for (size_t i = 1; i + 1 < size; i += 2) text += char16_t(data[i] | data[i + 1] << 8);
    } else {
        text.assign(data, data + size);
    }

    SSOLoginRecord login;
    if (!kHelper.ReadLoginDocument(text, login) && !(login == SSOLoginRecord{})) __builtin_trap();
    CheckRewrite(login, &XParamSLHelper::WriteLoginDocument, &XParamSLHelper::ReadLoginDocument);
    kHelper.ReadLoginAnswer(text);

    SSOUserRecord user;
    if (!kHelper.ReadUserDocument(text, user) && !(user == SSOUserRecord{})) __builtin_trap();
    CheckRewrite(user, &XParamSLHelper::WriteUserDocument, &XParamSLHelper::ReadUserDocument);
    kHelper.ReadUserEntry(text);

    xparam::XParamParserRef parser = xparam::XParamParserRef::Adopt(xparam::CreateXParamParser());
    if (parser->ParseText(text.data(), static_cast<int32_t>(text.size()))) {
        xparam::XParamRef root = xparam::XParamRef::Adopt(parser->GetRoot());
        xparam::XParamRef element =
            xparam::XParamRef::Adopt(root ? root->GetDocumentElement() : nullptr);
        ItemMap items;
        kHelper.ReadItemList(element.Get(), items);
    }
    return 0;
}
