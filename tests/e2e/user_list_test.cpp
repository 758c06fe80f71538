// GetUserList against the reference IM client: every lFlag/lIncludeSubAccount
// combination checked against a model of the selection rules, over accounts
// of both families, other families, sub-accounts, duplicate and empty titles,
// missing and corrupt user blocks and a client that died.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "control/exchange_block.h"
#include "control/exchange_name.h"
#include "data/xparam_sl_helper.h"
#include "tests/e2e/e2e_support.h"

namespace corvo::e2e {
namespace {

enum class Block { kGood, kMissing, kUnreadable, kUnparsable };

struct Account {
    std::string id;
    Block block = Block::kGood;
};

// In publication order, which is the order of the list.
const std::vector<Account> kAccounts = {
    {"cnmarketalice"},
    {"CNMARKETupper"},
    {"cnbizchnbob"},
    {"cnmarketalice:sub"},
    {"cnbizchnbob:sub"},
    {"othersitecarol"},
    {""},
    {"cnmarketalice"},  // the same title twice
    {"cnbizchnnoblock", Block::kMissing},
    {"cnmarketbadheader", Block::kUnreadable},
    {"cnbizchngarbled", Block::kUnparsable},
    {"cnbiz"},
    {"CnBizChn:upper"},
};

std::u16string Lower(std::u16string s) {
    for (auto& c : s)
        if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
    return s;
}

// What the list must hold: the selection rules of the control, written out.
std::vector<UserItem> Model(LONG flag, LONG includeSubAccount) {
    const unsigned mask = flag == 0 ? 0xFFFF : unsigned(flag);
    std::vector<UserItem> items;
    for (const auto& account : kAccounts) {
        const std::u16string id = Utf16(account.id);
        if (id.empty()) continue;
        if (includeSubAccount != 1 && id.find(u':') != std::u16string::npos) continue;
        const std::u16string site = Lower(id.substr(0, 8));
        const bool selected =
            ((mask & 1) && site == u"cnmarket") || ((mask & 2) && site == u"cnbizchn");
        if (!selected) continue;
        if (account.block == Block::kMissing || account.block == Block::kUnreadable) continue;
        if (account.block == Block::kUnparsable) {
            items.push_back(UserItem(5));
            continue;
        }
        const std::u16string description =
            site == u"cnmarket" ? u"consumer marketplace" : u"business-to-business site";
        items.push_back({id, id.substr(0, 8), id.substr(8), description, u"9.1.0.2025"});
    }
    return items;
}

// Blocks the test publishes itself in place of the client's.
std::optional<control::ExchangeBlock> BrokenUserBlock(const Account& account) {
    const std::u16string id = Utf16(account.id);
    auto block = control::ExchangeBlock::Create(control::MakeUserBlockName(id));
    if (!block) return std::nullopt;
    srlz::SSOUserRecord record;
    record.fullUserID = id;
    std::u16string text;
    srlz::XParamSLHelper().WriteUserDocument(record, text);
    if (account.block == Block::kUnparsable) {
        // Scrambled with another account's key: the text read back is noise.
        control::WriteBlockDocument(*block, text, u"cnmarketsomeoneelse");
    } else {
        control::WriteBlockDocument(*block, text, id);
        std::array<uint8_t, control::kBlockHeaderSize> header{};
        control::StoreBlockHeader({16, 8190, uint32_t(text.size()), 0}, header);
        block->memory().WriteAt(0, header);
    }
    return block;
}

TEST(UserList, EveryFlagAndSubAccountCombinationMatchesTheModel) {
    PrivateEnvironment env;
    std::vector<control::ExchangeBlock> broken;
    std::vector<std::string> args{"--client-version", "9.1.0.2025"};
    for (const auto& account : kAccounts) {
        args.insert(args.end(), {"--account", account.id});
        if (account.block != Block::kGood) {
            args.insert(args.end(), {"--no-user-block", account.id});
            if (account.block == Block::kMissing) continue;
            auto block = BrokenUserBlock(account);
            ASSERT_TRUE(block);
            broken.push_back(std::move(*block));
        }
    }
    // A client that died: its windows are ignored.
    {
        ClientProcess dead(env, {"--account", "cnmarketdead", "--no-user-block", "cnmarketdead"},
                           "dead");
        ASSERT_TRUE(dead.ready());
        dead.Kill();
    }
    ClientProcess client(env, args);
    ASSERT_TRUE(client.ready());

    for (LONG flag : {0, 1, 2, 3, 4, -1, 0x10001, 0x10002, 0x7FFFFFFC}) {
        for (LONG sub : {0, 1, 2, -1}) {
            SCOPED_TRACE("lFlag " + std::to_string(flag) + ", lIncludeSubAccount " +
                         std::to_string(sub));
            std::vector<UserItem> items;
            ASSERT_EQ(UserList(flag, sub, &items), S_OK);
            EXPECT_EQ(items, Model(flag, sub));
        }
    }
}

TEST(UserList, NoClientGivesAnEmptyListAndAStoppedClientLeavesNothing) {
    PrivateEnvironment env;
    std::vector<UserItem> items;
    ASSERT_EQ(UserList(0, 1, &items), S_OK);
    EXPECT_TRUE(items.empty());
    {
        ClientProcess client(env, {"--account", "cnmarketbrief"});
        ASSERT_TRUE(client.ready());
        ASSERT_EQ(UserList(0, 1, &items), S_OK);
        EXPECT_EQ(items.size(), 1u);
        EXPECT_TRUE(BlockExists(control::MakeUserBlockName(u"cnmarketbrief")));
        EXPECT_EQ(client.Stop(), 0);
    }
    ASSERT_EQ(UserList(0, 1, &items), S_OK);
    EXPECT_TRUE(items.empty());
    EXPECT_FALSE(BlockExists(control::MakeUserBlockName(u"cnmarketbrief")));
    // Only the id sequence file and the (empty) object directory stay.
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(env.imDirectory()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"objects", "sequence"}));
    EXPECT_TRUE(fs::is_empty(env.imDirectory() / "objects"));
}

}  // namespace
}  // namespace corvo::e2e
