#include "control/client_version.h"

#include "data/item_map.h"
#include "platform/module_file.h"
#include "xparam/xparam_parser.h"

namespace corvo::control {

std::u16string ReadClientVersion(const srlz::XParamSLHelper& helper,
                                 std::u16string_view configPath) {
    try {
        const std::u16string path(configPath);  // the parser wants it NUL-terminated
        auto parser = xparam::XParamParserRef::Adopt(xparam::CreateXParamParser());
        if (!parser || !parser->ParseFile(path.c_str())) return {};
        auto root = xparam::XParamRef::Adopt(parser->GetRoot());
        if (!root) return {};
        auto document = xparam::XParamRef::Adopt(root->GetDocumentElement());
        srlz::ItemMap items;
        helper.ReadItemList(document.Get(), items);
        const auto found = items.find(std::u16string(kVersionItemId));
        return found == items.end() ? std::u16string() : found->second;
    } catch (...) {
        return {};  // out of memory while reading: no version
    }
}

std::u16string LookUpClientVersion(const srlz::XParamSLHelper& helper) {
    try {
        // Any function of this library names the control's own module.
        const auto modulePath =
            platform::GetModuleFileName(reinterpret_cast<const void*>(&LookUpClientVersion));
        if (!modulePath) return {};
        std::u16string path(ModuleDirectory<char16_t>(*modulePath));
        return ReadClientVersion(helper, path.append(kStaticConfigRelativePath));
    } catch (...) {
        return {};
    }
}

}  // namespace corvo::control
