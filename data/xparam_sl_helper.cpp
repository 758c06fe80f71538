// Records to documents and back. Each record type is described once by a
// table of its fields (element name and member, in document order); writing,
// reading and the field encoding walk these tables.
#include "data/xparam_sl_helper.h"

#include <climits>
#include <cstdint>
#include <span>
#include <variant>

#include "data/field_codec.h"
#include "xparam/xparam_parser.h"
#include "xparam/xparam_traversal.h"

namespace corvo::srlz {
namespace {

using xparam::NodeKind;
using xparam::XParam;
using xparam::XParamRef;

template <class Record>
struct Field {
    const char16_t* name;
    std::variant<bool Record::*, int32_t Record::*, std::u16string Record::*> member;
};

// Document order of the login document (writing and reading).
constexpr Field<SSOLoginRecord> kLoginFields[] = {
    {u"bBase64Encoded", &SSOLoginRecord::bBase64Encoded},
    {u"result", &SSOLoginRecord::result},
    {u"fulluserid", &SSOLoginRecord::fulluserid},
    {u"version", &SSOLoginRecord::version},
    {u"srcUrl", &SSOLoginRecord::srcUrl},
    {u"realSSOUrl", &SSOLoginRecord::realSSOUrl},
    {u"ctrlversion", &SSOLoginRecord::ctrlversion},
};

// The order in which the field encoding visits a login record's strings.
constexpr std::u16string SSOLoginRecord::*kLoginEncoded[] = {
    &SSOLoginRecord::version,    &SSOLoginRecord::fulluserid,  &SSOLoginRecord::srcUrl,
    &SSOLoginRecord::realSSOUrl, &SSOLoginRecord::ctrlversion,
};

constexpr Field<SSOUserRecord> kUserFields[] = {
    {u"bBase64Encoded", &SSOUserRecord::bBase64Encoded},
    {u"version", &SSOUserRecord::version},
    {u"shortUserID", &SSOUserRecord::shortUserID},
    {u"fullUserID", &SSOUserRecord::fullUserID},
    {u"siteID", &SSOUserRecord::siteID},
    {u"siteDescript", &SSOUserRecord::siteDescript},
};

constexpr std::u16string SSOUserRecord::*kUserEncoded[] = {
    &SSOUserRecord::version, &SSOUserRecord::shortUserID,  &SSOUserRecord::fullUserID,
    &SSOUserRecord::siteID,  &SSOUserRecord::siteDescript,
};

template <class Record>
void ApplyFieldEncoding(Record& record, bool on, std::span<std::u16string Record::*const> strings) {
    if (record.bBase64Encoded == on) return;
    // Converted into a copy, so that a failure leaves the record as it was.
    Record converted = record;
    converted.bBase64Encoded = on;
    for (auto member : strings)
        converted.*member = on ? EncodeField(record.*member) : DecodeField(record.*member);
    record = std::move(converted);
}

// A new element child of `parent` named `name`.
XParamRef AppendElement(XParam* parent, const char16_t* name) {
    XParamRef child = XParamRef::Adopt(parent->CreateNode());
    child->SetName(name, -1);
    child->SetNodeKind(NodeKind::Element);
    parent->AppendChild(child.Get());
    return child;
}

template <class Record>
bool WriteDocument(const Record& record, std::span<const Field<Record>> fields,
                   std::u16string& text) {
    // The document node is built under a nameless top node, from which the
    // value tree hands it out as the document element.
    XParamRef top = XParamRef::Adopt(xparam::CreateXParam());
    AppendElement(top.Get(), u"");
    XParamRef document = XParamRef::Adopt(top->GetDocumentElement());
    if (!document) return false;
    for (const Field<Record>& field : fields) {
        XParamRef child = AppendElement(document.Get(), field.name);
        std::visit(
            [&](auto member) {
                using Value = std::remove_cvref_t<decltype(record.*member)>;
                if constexpr (std::is_same_v<Value, std::u16string>) {
                    // An empty text still makes a String value, written as a
                    // start tag directly followed by its end tag.
                    const std::u16string& s = record.*member;
                    child->SetValue(s.empty() ? u"" : s.data(), static_cast<int>(s.size()));
                } else if constexpr (std::is_same_v<Value, bool>) {
                    child->SetValue(static_cast<bool>(record.*member));
                } else {
                    child->SetValue(static_cast<int>(record.*member));
                }
            },
            field.member);
    }
    document->SetName(kDocumentElementName, -1);

    xparam::XParamTraversalRef traversal =
        xparam::XParamTraversalRef::Adopt(xparam::CreateXParamTraversal());
    xparam::XInResSlot res;
    int length = 0;
    const char16_t* xml = traversal->ToXml(document.Get(), length, u"\t", u"\r\n", res);
    if (xml == nullptr || length <= 0) return false;
    text.assign(xml, static_cast<std::size_t>(length));
    return true;
}

// The node's text; false for a node without one (an Empty value).
bool ReadText(XParam* node, std::u16string& out) {
    if (node->GetKind() == xparam::ValueKind::Empty) return false;
    const char16_t* p = nullptr;
    int n = 0;
    xparam::XInResSlot res;
    if (!node->GetValue(p, n, res)) return false;
    out.assign(p ? p : u"", n > 0 ? static_cast<std::size_t>(n) : 0);
    return true;
}

template <class Record>
bool ReadDocument(std::u16string_view text, std::span<const Field<Record>> fields, Record& record) {
    if (text.size() > static_cast<std::size_t>(INT32_MAX)) return false;
    xparam::XParamParserRef parser = xparam::XParamParserRef::Adopt(xparam::CreateXParamParser());
    if (!parser->ParseText(text.empty() ? u"" : text.data(), static_cast<int32_t>(text.size())))
        return false;
    XParamRef root = XParamRef::Adopt(parser->GetRoot());
    if (!root) return false;
    XParamRef document = XParamRef::Adopt(root->GetDocumentElement());
    if (!document) return false;

    Record filled = record;
    for (const Field<Record>& field : fields) {
        XParamRef child = XParamRef::Adopt(document->GetFirstChild(field.name, -1, 0));
        if (!child) continue;
        std::visit(
            [&](auto member) {
                using Value = std::remove_cvref_t<decltype(filled.*member)>;
                if constexpr (std::is_same_v<Value, std::u16string>) {
                    ReadText(child.Get(), filled.*member);
                } else if constexpr (std::is_same_v<Value, bool>) {
                    bool v = false;
                    if (child->GetValue(v)) filled.*member = v;
                } else {
                    int v = 0;
                    if (child->GetValue(v)) filled.*member = v;
                }
            },
            field.member);
    }
    record = std::move(filled);
    return true;
}

}  // namespace

void XParamSLHelper::SetFieldEncoding(SSOLoginRecord& record, bool on) const {
    ApplyFieldEncoding<SSOLoginRecord>(record, on, kLoginEncoded);
}

void XParamSLHelper::SetFieldEncoding(SSOUserRecord& record, bool on) const {
    ApplyFieldEncoding<SSOUserRecord>(record, on, kUserEncoded);
}

std::u16string XParamSLHelper::EncodeField(std::u16string_view text) const {
    return srlz::EncodeField(text);
}

std::u16string XParamSLHelper::DecodeField(std::u16string_view text) const {
    return srlz::DecodeField(text);
}

bool XParamSLHelper::WriteLoginDocument(const SSOLoginRecord& record, std::u16string& text) const {
    return WriteDocument<SSOLoginRecord>(record, kLoginFields, text);
}

bool XParamSLHelper::WriteUserDocument(const SSOUserRecord& record, std::u16string& text) const {
    return WriteDocument<SSOUserRecord>(record, kUserFields, text);
}

bool XParamSLHelper::ReadLoginDocument(std::u16string_view text, SSOLoginRecord& record) const {
    return ReadDocument<SSOLoginRecord>(text, kLoginFields, record);
}

bool XParamSLHelper::ReadUserDocument(std::u16string_view text, SSOUserRecord& record) const {
    return ReadDocument<SSOUserRecord>(text, kUserFields, record);
}

void XParamSLHelper::ReadItemList(XParam* documentElement, ItemMap& items) const {
    if (documentElement == nullptr) return;
    XParamRef item = XParamRef::Adopt(documentElement->GetFirstChild(u"item", -1, 0));
    if (!item) return;
    ItemMap read;
    for (; item; item = XParamRef::Adopt(item->GetNextSameName())) {
        std::u16string name;
        std::u16string value;
        if (XParamRef id = XParamRef::Adopt(item->GetFirstChild(u"id", -1, 0))) {
            ReadText(id.Get(), name);
        }
        ReadText(item.Get(), value);
        read.emplace(std::move(name), std::move(value));  // the first of a name stays
    }
    items.swap(read);
}

SSOLoginRecord XParamSLHelper::MakeLoginRequest(std::u16string_view userId,
                                                std::u16string_view ctrlVersion) {
    SSOLoginRecord request;
    request.fulluserid = userId;
    request.ctrlversion = ctrlVersion;
    request.result = 0;
    return request;
}

bool XParamSLHelper::BuildLoginRequestText(std::u16string_view userId,
                                           std::u16string_view ctrlVersion,
                                           std::u16string& text) const {
    SSOLoginRecord request = MakeLoginRequest(userId, ctrlVersion);
    SetFieldEncoding(request, true);
    return WriteLoginDocument(request, text);
}

SSOLoginRecord XParamSLHelper::ReadLoginAnswer(std::u16string_view text) const {
    SSOLoginRecord answer;
    ReadLoginDocument(text, answer);
    SetFieldEncoding(answer, false);
    return answer;
}

SSOUserRecord XParamSLHelper::ReadUserEntry(std::u16string_view text) const {
    SSOUserRecord user;
    ReadUserDocument(text, user);
    SetFieldEncoding(user, false);
    return user;
}

}  // namespace corvo::srlz
