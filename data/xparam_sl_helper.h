// XParamSLHelper: turns exchange records into documents and documents back
// into records, through the value tree and its XML writer and reader. The
// login control holds one instance, created with it, in a shared pointer; the
// class has no state, so any number of calls may share one instance.
//
// Documents:
//  - login document (SSOLoginRecord): the control's request and the IM
//    client's answer;
//  - user document (SSOUserRecord): one per logged-in account, published by
//    the IM client;
//  - item list (ItemMap): "item" elements with an "id" and a text, read from
//    the client's configuration file.
// The document element of a written document is "SSO_XML_NAME", one child
// element per field, TAB indentation, CR LF line breaks, no XML declaration.
// A reader accepts any document element name and takes a field from the
// first child of its name, element or attribute alike.
//
// Running out of memory throws std::bad_alloc and a failed code page 936
// conversion throws (see field_codec.h); the operation then counts as failed
// and the record it was filling is left as it was.
#pragma once

#include <string>
#include <string_view>

#include "data/item_map.h"
#include "data/sso_login_record.h"
#include "data/sso_user_record.h"
#include "xparam/xparam.h"

namespace corvo::srlz {

// The name of the document element of every document we write.
inline constexpr char16_t kDocumentElementName[] = u"SSO_XML_NAME";

class XParamSLHelper {
  public:
    // Brings the record's string fields into the wanted form: nothing happens
    // when `on` equals bBase64Encoded; otherwise the flag takes `on` and
    // version, fulluserid, srcUrl, realSSOUrl and ctrlversion are encoded
    // (on) or decoded (off), in that order. `result` is never encoded.
    void SetFieldEncoding(SSOLoginRecord& record, bool on) const;
    // The same for a user record: version, shortUserID, fullUserID, siteID,
    // siteDescript.
    void SetFieldEncoding(SSOUserRecord& record, bool on) const;

    // The field encoding (field_codec.h).
    std::u16string EncodeField(std::u16string_view text) const;
    std::u16string DecodeField(std::u16string_view text) const;

    // The XML text of the record as it stands (nothing is encoded here), in
    // the order bBase64Encoded, result, fulluserid, version, srcUrl,
    // realSSOUrl, ctrlversion. The boolean is written "1" or "0", the result
    // in decimal, an empty string as a start tag directly followed by its end
    // tag. False (and `text` untouched) when no document could be produced.
    bool WriteLoginDocument(const SSOLoginRecord& record, std::u16string& text) const;
    // The user document in the order of its fields: bBase64Encoded, version,
    // shortUserID, fullUserID, siteID, siteDescript. The control never writes
    // one; the reference IM client and the tests do.
    bool WriteUserDocument(const SSOUserRecord& record, std::u16string& text) const;

    // Parses `text` and fills the record from the document element's
    // children. False when the text does not parse or has no document
    // element; the record is then untouched. A missing field, or one whose
    // value does not convert (a boolean or integer that is not a number, an
    // element without text), keeps the record's value.
    bool ReadLoginDocument(std::u16string_view text, SSOLoginRecord& record) const;
    bool ReadUserDocument(std::u16string_view text, SSOUserRecord& record) const;

    // Fills `items` from the "item" children of `documentElement`, in document
    // order: the name is the text of the item's first "id" (attribute or
    // element; "" without one), the value the item's own text ("" without
    // one); the first item of a name wins. Without any "item" child (or
    // without a document element) the map is left untouched; otherwise it is
    // emptied first.
    void ReadItemList(xparam::XParam* documentElement, ItemMap& items) const;

    // The quick-login request for an account, plain: fulluserid `userId`,
    // ctrlversion `ctrlVersion`, result 0, every other string empty.
    static SSOLoginRecord MakeLoginRequest(std::u16string_view userId,
                                           std::u16string_view ctrlVersion);
    // The text a quick login puts into the exchange block for `userId`: the
    // request record, encoded, as a login document (before any code page
    // conversion). False when no document could be produced.
    bool BuildLoginRequestText(std::u16string_view userId, std::u16string_view ctrlVersion,
                               std::u16string& text) const;
    // The IM client's answer as the control uses it: a new record (result -1)
    // filled from `text` when it parses, then brought to plain text.
    SSOLoginRecord ReadLoginAnswer(std::u16string_view text) const;
    // One account's user document as the control uses it: a new record filled
    // from `text` when it parses, then brought to plain text.
    SSOUserRecord ReadUserEntry(std::u16string_view text) const;
};

}  // namespace corvo::srlz
