#include "platform/im_window.h"

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include "platform/posix/published_window.h"
#include "platform/posix/window_registry.h"
#include "transport_test_support.h"

namespace corvo::platform {
namespace {

constexpr std::u16string_view kClass = u"Quorix{416219FA-7221-43cf-A056-359CA4BC9FEA}";

class ImWindowTest : public testing::TransportTest {
  protected:
    PublishedWindow Publish(WindowKind kind, std::u16string_view title,
                            std::u16string_view cls = kClass) {
        auto window = PublishedWindow::Publish(kind, cls, title);
        EXPECT_TRUE(window);
        return std::move(*window);
    }

    ImWindowHandle FindTopLevel(std::u16string_view title) {
        return FindImWindow(ImWindowParent::kDesktop, kNoWindow, kClass, &title);
    }

    // Titles of the message-only windows, by the FindWindowExW(HWND_MESSAGE)
    // loop. The one-scan enumeration must yield the same windows and titles.
    std::vector<std::u16string> MessageOnlyTitles() {
        std::vector<std::u16string> titles;
        std::vector<std::pair<ImWindowHandle, std::u16string>> walked, scanned;
        for (ImWindowHandle w =
                 FindImWindow(ImWindowParent::kMessageOnly, kNoWindow, kClass, nullptr);
             w != kNoWindow; w = FindImWindow(ImWindowParent::kMessageOnly, w, kClass, nullptr)) {
            if (!IsImWindow(w)) continue;
            const auto title = GetImWindowText(w);
            titles.push_back(title.value_or(u"<gone>"));
            walked.emplace_back(w, titles.back());
        }
        for (const ImWindowEntry& e : EnumerateImWindows(ImWindowParent::kMessageOnly, kClass))
            scanned.emplace_back(e.window, e.title);
        EXPECT_EQ(scanned, walked);
        return titles;
    }

    // The handles of the top-level windows of the class, in one scan.
    std::vector<ImWindowHandle> TopLevelWindows() {
        std::vector<ImWindowHandle> windows;
        for (const ImWindowEntry& e : EnumerateImWindows(ImWindowParent::kDesktop, kClass))
            windows.push_back(e.window);
        return windows;
    }

    std::string RegistrationPath(ImWindowHandle w) {
        return imDir_ + "/" + WindowRegistrationFileName(w);
    }
};

TEST_F(ImWindowTest, NothingPublishedFindsNothing) {
    EXPECT_EQ(FindTopLevel(u"cnmarketalice"), kNoWindow);
    EXPECT_TRUE(MessageOnlyTitles().empty());
    EXPECT_TRUE(TopLevelWindows().empty());
    EXPECT_FALSE(IsImWindow(kNoWindow));
    EXPECT_FALSE(IsImWindow(12345));
    EXPECT_FALSE(GetImWindowText(12345));
}

TEST_F(ImWindowTest, TopLevelFindMatchesClassKindAndExactTitle) {
    const std::u16string embedded(u"cnmarket\0x", 10);
    auto other = Publish(WindowKind::kTopLevel, u"cnmarketalice", u"OtherClass");
    auto messageOnly = Publish(WindowKind::kMessageOnly, u"cnmarketalice");
    auto first = Publish(WindowKind::kTopLevel, u"cnmarketalice");
    auto second = Publish(WindowKind::kTopLevel, u"cnmarketalice");
    auto empty = Publish(WindowKind::kTopLevel, u"");
    auto wide = Publish(WindowKind::kTopLevel, u"cnmarket用户😀");
    auto withNul = Publish(WindowKind::kTopLevel, embedded);

    struct Case {
        std::u16string title;
        ImWindowHandle expected;
    } cases[] = {
        {u"cnmarketalice", first.id()},  // duplicates: the first one created
        {u"", empty.id()},
        {u"cnmarket用户😀", wide.id()},
        {embedded, withNul.id()},
        {u"cnmarket", kNoWindow},  // a prefix of two titles, and before the NUL of one
        {u"CNMARKETALICE", kNoWindow},
        {u"cnmarketalice ", kNoWindow},
        {u"cnmarket用户", kNoWindow},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindTopLevel(c.title), c.expected) << std::string(c.title.begin(), c.title.end());
    }
    EXPECT_EQ(GetImWindowText(withNul.id()), embedded);
    EXPECT_EQ(TopLevelWindows(), (std::vector<ImWindowHandle>{first.id(), second.id(), empty.id(),
                                                              wide.id(), withNul.id()}));

    first.Unpublish();
    EXPECT_FALSE(IsImWindow(first.id()));
    EXPECT_EQ(FindTopLevel(u"cnmarketalice"), second.id());
    const std::u16string_view title = u"cnmarketalice";
    EXPECT_EQ(FindImWindow(ImWindowParent::kDesktop, second.id(), kClass, &title), kNoWindow);
}

TEST_F(ImWindowTest, EnumerationFollowsCreationOrderModel) {
    // A random sequence of publications and removals; the loop must list the
    // live message-only windows of the class in the order they were created.
    std::mt19937 random(7);
    std::vector<std::pair<std::u16string, PublishedWindow>> live;
    std::vector<PublishedWindow> noise;  // other kinds and classes
    for (int step = 0; step < 60; ++step) {
        const int op = int(random() % 5);
        if (op <= 1 || live.empty()) {
            const std::u16string title = u"cnbizchn" +
                                         std::u16string(1, char16_t(u'a' + step % 26)) +
                                         (step % 7 == 0 ? u"" : u":sub");
            live.emplace_back(title, Publish(WindowKind::kMessageOnly, title));
        } else if (op == 2) {
            noise.push_back(Publish(random() % 2 ? WindowKind::kTopLevel : WindowKind::kMessageOnly,
                                    u"cnbizchnx", u"Quorix{other}"));
            noise.push_back(Publish(WindowKind::kTopLevel, u"cnbizchny"));
        } else {
            live.erase(live.begin() + long(random() % live.size()));
        }
        std::vector<std::u16string> expected;
        for (const auto& entry : live) expected.push_back(entry.first);
        ASSERT_EQ(MessageOnlyTitles(), expected) << "step " << step;
    }
}

TEST_F(ImWindowTest, WindowOfAGoneProcessNoLongerExists) {
    // A client that crashed: its registration and socket stay behind.
    auto keep = Publish(WindowKind::kMessageOnly, u"cnmarketbob");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto top = PublishedWindow::Publish(WindowKind::kTopLevel, kClass, u"cnmarketcrash");
        auto msg = PublishedWindow::Publish(WindowKind::kMessageOnly, kClass, u"cnmarketcrash");
        _exit(top && msg ? 0 : 1);  // no destructors: nothing is unpublished
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(DirectoryEntries().size(), 7u);  // sequence + 3 windows * (registration + socket)

    EXPECT_EQ(FindTopLevel(u"cnmarketcrash"), kNoWindow);
    EXPECT_TRUE(TopLevelWindows().empty());
    EXPECT_EQ(MessageOnlyTitles(), std::vector<std::u16string>{u"cnmarketbob"});
    for (ImWindowHandle w : {keep.id() + 1, keep.id() + 2}) {
        EXPECT_FALSE(IsImWindow(w));
        EXPECT_FALSE(GetImWindowText(w));
        EXPECT_EQ(SendCopyDataTimeout(w, 0, 1, {}, std::chrono::milliseconds(2000)).outcome,
                  SendOutcome::kFailed);
    }

    // The next publication clears what the crashed client left.
    auto next = Publish(WindowKind::kMessageOnly, u"cnmarketcarol");
    EXPECT_EQ(
        DirectoryEntries(),
        (std::vector<std::string>{
            WindowSocketFileName(keep.id()), WindowRegistrationFileName(keep.id()),
            WindowSocketFileName(next.id()), WindowRegistrationFileName(next.id()), "sequence"}));
    EXPECT_GT(next.id(), keep.id() + 2);  // ids are never handed out twice
}

TEST_F(ImWindowTest, RegistrationsOthersCouldHaveWrittenAreIgnored) {
    struct Case {
        const char* what;
        bool (*tamper)(const std::string& path, const std::string& root);
    } cases[] = {
        {"group-writable",
         [](const std::string& p, const std::string&) { return chmod(p.c_str(), 0620) == 0; }},
        {"other-writable",
         [](const std::string& p, const std::string&) { return chmod(p.c_str(), 0602) == 0; }},
        {"foreign owner",
         [](const std::string& p, const std::string&) {
             struct stat st;
             return chown(p.c_str(), geteuid() + 4242, getegid()) == 0 &&
                    stat(p.c_str(), &st) == 0 && st.st_uid != geteuid();
         }},
        {"symbolic link",
         [](const std::string& p, const std::string& root) {
             const std::string copy = root + "/copy";
             std::filesystem::copy_file(p, copy);
             return unlink(p.c_str()) == 0 && symlink(copy.c_str(), p.c_str()) == 0;
         }},
    };
    for (const auto& c : cases) {
        auto window = Publish(WindowKind::kTopLevel, u"cnmarketeve");
        ASSERT_EQ(FindTopLevel(u"cnmarketeve"), window.id());
        if (!c.tamper(RegistrationPath(window.id()), root_)) continue;  // needs root
        EXPECT_EQ(FindTopLevel(u"cnmarketeve"), kNoWindow) << c.what;
        EXPECT_FALSE(IsImWindow(window.id())) << c.what;
        EXPECT_EQ(
            SendCopyDataTimeout(window.id(), 0, 1, {}, std::chrono::milliseconds(2000)).outcome,
            SendOutcome::kFailed)
            << c.what;
        std::filesystem::remove(root_ + "/copy");
    }
}

TEST_F(ImWindowTest, MalformedOrHalfWrittenRegistrationsAreSkipped) {
    auto before = Publish(WindowKind::kMessageOnly, u"cnmarketa");
    auto directory = ImEndpointDirectory::Open(ImEndpointDirectory::Mode::kOpenExisting);
    ASSERT_TRUE(directory);
    const auto id = NextWindowId(*directory);
    ASSERT_TRUE(id);
    {
        std::ofstream(imDir_ + "/" + WindowRegistrationFileName(*id)) << "corvo-im-window 1\nkind";
        std::ofstream(imDir_ + "/." + WindowRegistrationFileName(*id + 1) + ".tmp") << "x";
        std::ofstream(imDir_ + "/garbage.window") << "x";
    }
    auto after = Publish(WindowKind::kMessageOnly, u"cnmarketb");
    EXPECT_EQ(MessageOnlyTitles(), (std::vector<std::u16string>{u"cnmarketa", u"cnmarketb"}));
    EXPECT_FALSE(IsImWindow(*id));
}

}  // namespace
}  // namespace corvo::platform
