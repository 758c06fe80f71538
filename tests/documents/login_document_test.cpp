// Login and user documents: the exact request text, reading answers and user
// entries (plain and encoded, attributes, duplicates, wrong or missing
// fields), and the item list.
#include <gtest/gtest.h>

#include <string>

#include "data/xparam_sl_helper.h"
#include "tests/documents/documents_test_support.h"
#include "xparam/xparam_parser.h"

namespace corvo::srlz::test {
namespace {

const XParamSLHelper kHelper;

TEST(LoginRequest, NineLinesByteForByte) {
    std::u16string text;
    ASSERT_TRUE(kHelper.BuildLoginRequestText(u"cnmarketalice", u"1.0.0.1", text));
    EXPECT_EQ(Printable(text), Printable(u"<SSO_XML_NAME>\r\n"
                                         u"\t<bBase64Encoded>1</bBase64Encoded>\r\n"
                                         u"\t<result>0</result>\r\n"
                                         u"\t<fulluserid>Y25tYXJrZXRhbGljZQ==</fulluserid>\r\n"
                                         u"\t<version></version>\r\n"
                                         u"\t<srcUrl></srcUrl>\r\n"
                                         u"\t<realSSOUrl></realSSOUrl>\r\n"
                                         u"\t<ctrlversion>MS4wLjAuMQ==</ctrlversion>\r\n"
                                         u"</SSO_XML_NAME>\r\n"));
}

TEST(LoginRequest, RecordAsTheQuickLoginBuildsIt) {
    const SSOLoginRecord r = XParamSLHelper::MakeLoginRequest(u"cnbizchnbob", u"1.0.0.1");
    EXPECT_FALSE(r.bBase64Encoded);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.fulluserid, u"cnbizchnbob");
    EXPECT_EQ(r.ctrlversion, u"1.0.0.1");
    EXPECT_TRUE(r.version.empty() && r.srcUrl.empty() && r.realSSOUrl.empty());
}

TEST(LoginRequest, EmptyUserIdStillWritesTheElement) {
    std::u16string text;
    ASSERT_TRUE(kHelper.BuildLoginRequestText(u"", u"1.0.0.1", text));
    EXPECT_NE(text.find(u"\t<fulluserid></fulluserid>\r\n"), std::u16string::npos)
        << Printable(text);
}

// A user ID of 57 bytes puts a line break into the base64 text; the reader
// drops it and the decoder would skip it anyway.
TEST(LoginRequest, LongUserIdBreaksTheBase64LineAndReadsBack) {
    const std::u16string id = u"cnmarket" + std::u16string(49, u'x');
    std::u16string text;
    ASSERT_TRUE(kHelper.BuildLoginRequestText(id, u"1.0.0.1", text));
    EXPECT_NE(text.find(u"\r\n</fulluserid>"), std::u16string::npos) << Printable(text);
    const SSOLoginRecord back = kHelper.ReadLoginAnswer(text);
    EXPECT_EQ(back.fulluserid, id);
    EXPECT_EQ(back.ctrlversion, u"1.0.0.1");
    EXPECT_EQ(back.result, 0);
}

TEST(LoginRecord, NewRecordFailsAsAnAnswer) {
    const SSOLoginRecord r;
    EXPECT_EQ(r.result, -1);
    EXPECT_FALSE(r.bBase64Encoded);
}

SSOLoginRecord Login(bool b64, int32_t result, std::u16string fulluserid, std::u16string url) {
    SSOLoginRecord r;
    r.bBase64Encoded = b64;
    r.result = result;
    r.fulluserid = std::move(fulluserid);
    r.realSSOUrl = std::move(url);
    return r;
}

struct LoginReadCase {
    const char* what;
    std::u16string text;
    bool parsed;
    SSOLoginRecord read;    // ReadLoginDocument into a new record
    SSOLoginRecord answer;  // ReadLoginAnswer (read, then decoded)
};

TEST(ReadLoginDocument, Table) {
    const SSOLoginRecord fresh;
    const LoginReadCase cases[] = {
        {"plain answer: bBase64Encoded 0",
         u"<SSO_XML_NAME><bBase64Encoded>0</bBase64Encoded><result>1</result>"
         u"<realSSOUrl>https://x.cn/?a=1&amp;b=2</realSSOUrl></SSO_XML_NAME>",
         true, Login(false, 1, u"", u"https://x.cn/?a=1&b=2"),
         Login(false, 1, u"", u"https://x.cn/?a=1&b=2")},
        {"plain answer: bBase64Encoded missing",
         u"<a><result>1</result><realSSOUrl>aHR0cA==</realSSOUrl></a>", true,
         Login(false, 1, u"", u"aHR0cA=="), Login(false, 1, u"", u"aHR0cA==")},
        {"encoded answer",
         u"<SSO_XML_NAME>\r\n\t<bBase64Encoded>1</bBase64Encoded>\r\n\t<result>1</result>\r\n"
         u"\t<realSSOUrl>aHR0cA==</realSSOUrl>\r\n</SSO_XML_NAME>\r\n",
         true, Login(true, 1, u"", u"aHR0cA=="), Login(false, 1, u"", u"http")},
        {"encoded flag with plain text: decoded all the same",
         u"<r><bBase64Encoded>1</bBase64Encoded><result>1</result>"
         u"<realSSOUrl>QUJD.cn</realSSOUrl></r>",
         true, Login(true, 1, u"", u"QUJD.cn"), Login(false, 1, u"", u"ABCr")},
        {"any document element name", u"<other result=\"1\"/>", true, Login(false, 1, u"", u""),
         Login(false, 1, u"", u"")},
        {"attribute as field", u"<r result=\"1\" fulluserid=\"id\"><realSSOUrl>u</realSSOUrl></r>",
         true, Login(false, 1, u"id", u"u"), Login(false, 1, u"id", u"u")},
        {"attribute before a child of the same name wins",
         u"<r result=\"1\"><result>0</result></r>", true, Login(false, 1, u"", u""),
         Login(false, 1, u"", u"")},
        {"first of duplicate elements", u"<r><result>1</result><result>0</result></r>", true,
         Login(false, 1, u"", u""), Login(false, 1, u"", u"")},
        {"result absent stays -1", u"<r><realSSOUrl>u</realSSOUrl></r>", true,
         Login(false, -1, u"", u"u"), Login(false, -1, u"", u"u")},
        {"result not a number stays -1", u"<r><result>one</result></r>", true, fresh, fresh},
        {"result empty stays -1", u"<r><result></result><result>1</result></r>", true, fresh,
         fresh},
        {"result with blanks around", u"<r><result>\r\n  1\t</result></r>", true,
         Login(false, 1, u"", u""), Login(false, 1, u"", u"")},
        {"negative result", u"<r><result>-7</result></r>", true, Login(false, -7, u"", u""),
         Login(false, -7, u"", u"")},
        {"flag as text: Yes", u"<r><bBase64Encoded>Yes</bBase64Encoded></r>", true,
         Login(true, -1, u"", u""), Login(false, -1, u"", u"")},
        {"flag as text: false", u"<r><bBase64Encoded>false</bBase64Encoded></r>", true, fresh,
         fresh},
        {"flag not a number keeps false", u"<r><bBase64Encoded>?</bBase64Encoded></r>", true, fresh,
         fresh},
        {"flag 2 is true", u"<r><bBase64Encoded>2</bBase64Encoded><fulluserid>YQ</fulluserid></r>",
         true, Login(true, -1, u"YQ", u""), Login(false, -1, u"a", u"")},
        {"names are case-sensitive", u"<r><Result>1</Result><REALSSOURL>u</REALSSOURL></r>", true,
         fresh, fresh},
        {"nested elements do not count", u"<r><x><result>1</result></x></r>", true, fresh, fresh},
        {"unknown elements ignored", u"<r><foo>1</foo><result>1</result><bar/></r>", true,
         Login(false, 1, u"", u""), Login(false, 1, u"", u"")},
        {"empty document element", u"<r/>", true, fresh, fresh},
        {"not XML", u"result=1", false, fresh, fresh},
        {"truncated XML: taken as built", u"<r><result>1</result><realSSOUrl>u", true,
         Login(false, 1, u"", u""), Login(false, 1, u"", u"")},
        {"bad entity", u"<r><result>1</result><srcUrl>&nbsp;</srcUrl></r>", false, fresh, fresh},
        {"mismatched tags", u"<r><result>1</resul></r>", false, fresh, fresh},
        {"empty text", u"", false, fresh, fresh},
    };
    for (const LoginReadCase& c : cases) {
        SSOLoginRecord r;
        EXPECT_EQ(kHelper.ReadLoginDocument(c.text, r), c.parsed) << c.what;
        EXPECT_EQ(r, c.read) << c.what;
        EXPECT_EQ(kHelper.ReadLoginAnswer(c.text), c.answer) << c.what;
    }
}

TEST(ReadLoginDocument, FailureLeavesTheRecordUntouched) {
    SSOLoginRecord r = Login(true, 5, u"id", u"url");
    r.version = u"v";
    const SSOLoginRecord before = r;
    EXPECT_FALSE(kHelper.ReadLoginDocument(u"<r><result>1</result></x>", r));
    EXPECT_EQ(r, before);
    // A parsed document overwrites only the fields it holds.
    EXPECT_TRUE(kHelper.ReadLoginDocument(u"<r><result>1</result><version></version></r>", r));
    SSOLoginRecord expected = before;
    expected.result = 1;
    EXPECT_EQ(r, expected);
}

SSOUserRecord User(bool b64, std::u16string version, std::u16string shortId, std::u16string fullId,
                   std::u16string site, std::u16string descript) {
    return {b64,
            std::move(version),
            std::move(shortId),
            std::move(fullId),
            std::move(site),
            std::move(descript)};
}

struct UserReadCase {
    const char* what;
    std::u16string text;
    bool parsed;
    SSOUserRecord entry;  // ReadUserEntry: read, then decoded
};

TEST(ReadUserDocument, Table) {
    const UserReadCase cases[] = {
        {"plain",
         u"<SSO_XML_NAME><bBase64Encoded>0</bBase64Encoded><version>3.1</version>"
         u"<shortUserID>alice</shortUserID><fullUserID>cnmarketalice</fullUserID>"
         u"<siteID>cnmarket</siteID><siteDescript>\u5e02\u573a</siteDescript></SSO_XML_NAME>",
         true, User(false, u"3.1", u"alice", u"cnmarketalice", u"cnmarket", u"\u5e02\u573a")},
        {"encoded, GBK description",
         u"<u bBase64Encoded=\"1\"><version>My4x</version><shortUserID>YWxpY2U=</shortUserID>"
         u"<fullUserID>Y25tYXJrZXRhbGljZQ==</fullUserID><siteID>Y25tYXJrZXQ=</siteID>"
         u"<siteDescript>1tDOxA==</siteDescript></u>",
         true, User(false, u"3.1", u"alice", u"cnmarketalice", u"cnmarket", u"\u4e2d\u6587")},
        {"attributes only", u"<u fullUserID=\"id\" siteID=\"s\"/>", true,
         User(false, u"", u"", u"id", u"s", u"")},
        {"login field names do not count", u"<u><fulluserid>id</fulluserid></u>", true,
         SSOUserRecord{}},
        {"first duplicate", u"<u><siteID>a</siteID><siteID>b</siteID></u>", true,
         User(false, u"", u"", u"", u"a", u"")},
        {"unparsable gives empty values", u"<u><siteID>a</siteid></u>", false, SSOUserRecord{}},
    };
    for (const UserReadCase& c : cases) {
        SSOUserRecord r;
        EXPECT_EQ(kHelper.ReadUserDocument(c.text, r), c.parsed) << c.what;
        EXPECT_EQ(kHelper.ReadUserEntry(c.text), c.entry) << c.what;
    }
}

TEST(SetFieldEncoding, OnlyOnChangeAndNeverTheResult) {
    SSOLoginRecord r = Login(false, 1, u"id", u"u");
    r.version = u"v";
    r.srcUrl = u"s";
    r.ctrlversion = u"1.0.0.1";
    kHelper.SetFieldEncoding(r, false);  // already plain: nothing happens
    EXPECT_EQ(r.fulluserid, u"id");
    kHelper.SetFieldEncoding(r, true);
    EXPECT_TRUE(r.bBase64Encoded);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.fulluserid, u"aWQ=");
    EXPECT_EQ(r.version, u"dg==");
    EXPECT_EQ(r.srcUrl, u"cw==");
    EXPECT_EQ(r.realSSOUrl, u"dQ==");
    EXPECT_EQ(r.ctrlversion, u"MS4wLjAuMQ==");
    kHelper.SetFieldEncoding(r, true);  // already encoded: not encoded twice
    EXPECT_EQ(r.fulluserid, u"aWQ=");
    kHelper.SetFieldEncoding(r, false);
    EXPECT_EQ(r.fulluserid, u"id");
    EXPECT_EQ(r.ctrlversion, u"1.0.0.1");

    SSOUserRecord u = User(true, u"dg==", u"cw==", u"Zg==", u"aWQ=", u"ZA==");
    kHelper.SetFieldEncoding(u, false);
    EXPECT_EQ(u, User(false, u"v", u"s", u"f", u"id", u"d"));
}

struct ItemCase {
    const char* what;
    std::u16string text;
    ItemMap items;
};

TEST(ReadItemList, Table) {
    const ItemMap untouched = {{u"keep", u"me"}};
    const ItemCase cases[] = {
        {"attribute ids",
         u"<config><item id=\"VersionString\">3.1.0.7</item><item id=\"Other\">x</item></config>",
         {{u"VersionString", u"3.1.0.7"}, {u"Other", u"x"}}},
        {"first of a name wins",
         u"<c><item id=\"VersionString\">1</item><item id=\"VersionString\">2</item></c>",
         {{u"VersionString", u"1"}}},
        {"id as a child element",
         u"<c><item><id>VersionString</id>9.9</item></c>",
         {{u"VersionString", u"9.9"}}},
        {"item without id goes under the empty name",
         u"<c><item>a</item><item>b</item></c>",
         {{u"", u"a"}}},
        {"item without text", u"<c><item id=\"k\"/></c>", {{u"k", u""}}},
        {"ids are case-sensitive",
         u"<c><item id=\"versionstring\">1</item><item id=\"VersionString\">2</item></c>",
         {{u"versionstring", u"1"}, {u"VersionString", u"2"}}},
        {"other siblings skipped",
         u"<c><x/><item id=\"a\">1</item><y/><item id=\"b\">2</item></c>",
         {{u"a", u"1"}, {u"b", u"2"}}},
        {"nested items do not count", u"<c><g><item id=\"a\">1</item></g></c>", untouched},
        {"no items: map untouched", u"<c><Item id=\"a\">1</Item></c>", untouched},
    };
    for (const ItemCase& c : cases) {
        xparam::XParamParserRef parser =
            xparam::XParamParserRef::Adopt(xparam::CreateXParamParser());
        ASSERT_TRUE(parser->ParseText(c.text.data(), int32_t(c.text.size()))) << c.what;
        xparam::XParamRef root = xparam::XParamRef::Adopt(parser->GetRoot());
        xparam::XParamRef element = xparam::XParamRef::Adopt(root->GetDocumentElement());
        ItemMap items = untouched;
        kHelper.ReadItemList(element.Get(), items);
        EXPECT_EQ(items, c.items) << c.what;
    }
    ItemMap items = untouched;
    kHelper.ReadItemList(nullptr, items);
    EXPECT_EQ(items, untouched);
}

}  // namespace
}  // namespace corvo::srlz::test
