// GetUserList over windows and user blocks published in a private endpoint
// directory: the filter table, the order and content of the items, and the
// accounts that are left out or listed empty.
#include "control/user_discovery.h"

#include <map>

#include "tests/quicklogin/quicklogin_test_support.h"

namespace corvo::test {
namespace {

using platform::PublishedWindow;
using platform::WindowKind;

enum Family { kMarket, kBiz, kForeign };

struct Account {
    std::u16string title;
    Family family;
    bool sub;
    bool block;  // the client published a user block for it
};

// Published in this order. The user records differ from the titles so that
// the test sees where the values come from.
const Account kAccounts[] = {
    {u"cnmarketalice", kMarket, false, true}, {u"CNMARKETBOB", kMarket, false, true},
    {u"cnbizchncarol", kBiz, false, true},    {u"cnmarketalice:shop1", kMarket, true, true},
    {u"CnBizChnDan:ops", kBiz, true, true},   {u"enforeigneve", kForeign, false, true},
    {u"cnmarke", kForeign, false, true},       // shorter than a site ID
    {u"cnmarketalice", kMarket, false, true},  // a second window of the same account
    {u"cnbizchnnoblock", kBiz, false, false},
};

srlz::SSOUserRecord RecordFor(std::u16string_view title) {
    srlz::SSOUserRecord r;
    r.fullUserID = std::u16string(title);
    r.siteID = title.substr(0, 8) == u"cnbizchn" || title.substr(0, 8) == u"CnBizChn" ? u"cnbizchn"
                                                                                      : u"cnmarket";
    r.shortUserID = u"short-" + std::u16string(title.substr(std::min<size_t>(8, title.size())));
    r.siteDescript = u"\u5E02\u573A site";  // not ASCII: comes back through code page 936
    r.version = u"9.1.0";
    return r;
}

struct Item {
    std::u16string fullUserId, siteId, shortUserId, description, version;
    bool operator==(const Item&) const = default;
};

std::vector<Item> Items(ISSODataArray* array) {
    std::vector<Item> items;
    ULONG size = 0;
    EXPECT_EQ(array->GetSize(&size), S_OK);
    for (ULONG i = 0; i < size; ++i) {
        ComPtr<ISSOData> d;
        EXPECT_EQ(array->GetItemData(i, d.Out()), S_OK);
        items.push_back({GetStr(d.Get(), u"strKey_FullUserID"), GetStr(d.Get(), u"strKey_SiteID"),
                         GetStr(d.Get(), u"strKey_ShortUserID"),
                         GetStr(d.Get(), u"strKey_SiteID_Description"),
                         GetStr(d.Get(), u"strKey_QXClientVersion")});
    }
    return items;
}

Item ItemOf(const srlz::SSOUserRecord& r) {
    return {r.fullUserID, r.siteID, r.shortUserID, r.siteDescript, r.version};
}

class UserList : public QuickLoginTest {
  protected:
    void PublishWindow(std::u16string_view title, WindowKind kind = WindowKind::kMessageOnly) {
        auto w = PublishedWindow::Publish(kind, control::kImWindowClass, title);
        ASSERT_TRUE(w);
        windows_.push_back(std::move(*w));
    }
    void PublishAll() {
        std::map<std::u16string, bool> blocked;
        for (const Account& a : kAccounts) {
            PublishWindow(a.title);
            if (a.block && !blocked[a.title]) {
                blocks_.push_back(PublishUserBlock(a.title, RecordFor(a.title)));
                blocked[a.title] = true;
            }
        }
        PublishWindow(u"");                                         // ignored
        PublishWindow(u"cnmarkettoplevel", WindowKind::kTopLevel);  // not enumerated
        auto other =
            PublishedWindow::Publish(WindowKind::kMessageOnly, u"OtherClass", u"cnmarketother");
        ASSERT_TRUE(other);
        windows_.push_back(std::move(*other));
    }

    std::vector<PublishedWindow> windows_;
    std::vector<control::ExchangeBlock> blocks_;
};

TEST_F(UserList, FilterTable) {
    PublishAll();
    HostedControl h(AllowedPage());
    // Which families each lFlag selects.
    const std::map<LONG, std::vector<Family>> flags = {
        {0, {kMarket, kBiz}}, {1, {kMarket}}, {2, {kBiz}},
        {3, {kMarket, kBiz}}, {4, {}},        {-1, {kMarket, kBiz}},
    };
    // Whether lIncludeSubAccount lets sub-accounts in: exactly 1 only.
    const std::map<LONG, bool> subs = {{0, false}, {1, true}, {2, false}, {-1, false}};
    for (const auto& [flag, families] : flags) {
        for (const auto& [include, withSubs] : subs) {
            SCOPED_TRACE(::testing::Message()
                         << "lFlag " << flag << " lIncludeSubAccount " << include);
            std::vector<Item> expected;
            for (const Account& a : kAccounts) {
                const bool family =
                    std::find(families.begin(), families.end(), a.family) != families.end();
                if (family && (!a.sub || withSubs) && a.block)
                    expected.push_back(ItemOf(RecordFor(a.title)));
            }
            ComPtr<ISSODataArray> array;
            ASSERT_EQ(h.ctrl->GetUserList(flag, include, array.Out()), S_OK);
            ASSERT_TRUE(array);
            EXPECT_EQ(Items(array.Get()), expected);
        }
    }
}

TEST_F(UserList, NoWindowsGiveAnEmptyArray) {
    HostedControl h(AllowedPage());
    ComPtr<ISSODataArray> array;
    ASSERT_EQ(h.ctrl->GetUserList(0, 1, array.Out()), S_OK);
    ASSERT_TRUE(array);
    EXPECT_TRUE(Items(array.Get()).empty());
}

TEST_F(UserList, UnparsableDocumentIsListedWithEmptyValues) {
    PublishWindow(u"cnmarketgarbage");
    PublishWindow(u"cnmarketwrongkey");
    PublishWindow(u"cnbizchngood");
    auto garbage = control::ExchangeBlock::Create(control::MakeUserBlockName(u"cnmarketgarbage"));
    ASSERT_TRUE(garbage);
    ASSERT_EQ(control::WriteBlockDocument(*garbage, u"<not a document", u"cnmarketgarbage"),
              control::BlockStatus::kOk);
    // A block scrambled with another key unscrambles to text that is no document.
    auto wrongKey = control::ExchangeBlock::Create(control::MakeUserBlockName(u"cnmarketwrongkey"));
    ASSERT_TRUE(wrongKey);
    ASSERT_EQ(control::WriteBlockDocument(*wrongKey, u"<a><siteID>x</siteID></a>", u"cnmarketzzz"),
              control::BlockStatus::kOk);
    auto good = PublishUserBlock(u"cnbizchngood", RecordFor(u"cnbizchngood"));

    HostedControl h(AllowedPage());
    ComPtr<ISSODataArray> array;
    ASSERT_EQ(h.ctrl->GetUserList(0, 0, array.Out()), S_OK);
    EXPECT_EQ(Items(array.Get()), (std::vector<Item>{{}, {}, ItemOf(RecordFor(u"cnbizchngood"))}));
}

TEST_F(UserList, TitlesAreSeenUpTo255CharactersAndToTheirFirstNul) {
    const std::u16string longTitle = u"cnmarket" + std::u16string(300, u'a');
    PublishWindow(longTitle);
    PublishWindow(std::u16string(u"cnbizchnx\0hidden", 16));
    PublishWindow(std::u16string(u"\0cnbizchnx", 10));  // empty as a buffer sees it
    PublishWindow(u"cnbizchny");
    EXPECT_EQ(control::CollectAccountIds(),
              (std::vector<std::u16string>{longTitle.substr(0, 255), u"cnbizchnx", u"cnbizchny"}));
}

TEST_F(UserList, SelectionRule) {
    struct Case {
        std::u16string_view id;
        LONG flag, include;
        bool selected;
    };
    const Case cases[] = {
        {u"cnmarket", 1, 0, true},         {u"cnmarke", 1, 0, false},
        {u"CnMaRkEtx", 1, 0, true},        {u"cnbizchnx", 1, 0, false},
        {u"cnbizchnx", 2, 0, true},        {u"cnbizchnx", 0x10002, 0, true},
        {u"cnmarketx", 0x10000, 0, false}, {u":cnmarket", 1, 1, false},
        {u"cnmarket:", 1, 1, true},        {u"cnmarket:", 1, 0, false},
        {u"xcnmarket", -1, 1, false},      {u"", 0, 1, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(control::IsAccountSelected(c.id, c.flag, c.include), c.selected)
            << std::string(c.id.begin(), c.id.end()) << " " << c.flag << " " << c.include;
    }
}

TEST_F(UserList, RefusedPageMakesNothing) {
    PublishAll();
    HostedControl h(kRefusedPage);
    ISSODataArray* out = reinterpret_cast<ISSODataArray*>(0x5A5A);
    EXPECT_EQ(h.ctrl->GetUserList(0, 1, &out), E_FAIL);
    EXPECT_EQ(out, reinterpret_cast<ISSODataArray*>(0x5A5A));
    // ControlTest's TearDown checks that no object was left alive.
}

}  // namespace
}  // namespace corvo::test
