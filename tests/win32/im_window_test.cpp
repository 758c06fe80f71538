// The client's side of the IM windows against real windows of this process:
// a top-level and a message-only window per account, of the client's class,
// found by class and title, enumerated, titles read into 256 characters, and
// WM_COPYDATA delivered with its bytes, wParam and dwData.
#include "platform/im_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "control/quick_login.h"
#include "platform/com/ole_text.h"
#include "platform/win32/unique_handle.h"

namespace corvo::platform {
namespace {

struct Received {
    WPARAM wParam = 0;
    ULONG_PTR dwData = 0;
    std::vector<uint8_t> bytes;
    int count = 0;
};
Received g_received;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        g_received.wParam = wParam;
        g_received.dwData = cds->dwData;
        const auto* data = static_cast<const uint8_t*>(cds->lpData);
        g_received.bytes.assign(data, data + cds->cbData);
        ++g_received.count;
        return 77;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

const wchar_t* ClassName() {
    return AsOleText(control::kImWindowClass.data());
}

void RegisterClassOnce() {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = ClassName();
        return ::RegisterClassW(&wc) != 0;
    }();
    ASSERT_TRUE(registered);
}

struct WindowCloser {
    void operator()(HWND window) const { ::DestroyWindow(window); }
};
using Window = std::unique_ptr<std::remove_pointer_t<HWND>, WindowCloser>;

Window MakeWindow(const std::u16string& title, bool messageOnly) {
    return Window(::CreateWindowExW(0, ClassName(), AsOleText(title.c_str()), 0, 0, 0, 0, 0,
                                    messageOnly ? HWND_MESSAGE : nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr));
}

ImWindowHandle Handle(const Window& window) {
    return static_cast<ImWindowHandle>(reinterpret_cast<uintptr_t>(window.get()));
}

class ImWindows : public ::testing::Test {
  protected:
    void SetUp() override { RegisterClassOnce(); }
};

TEST_F(ImWindows, FindsTheTopLevelWindowByExactTitleOnly) {
    const std::u16string id = u"cntaobao" + std::u16string(u"findme");
    // Accounts that differ only in case, made before the one looked for:
    // FindWindowExW alone would return them first.
    Window upper = MakeWindow(u"CNTAOBAOFINDME", false);
    Window mixed = MakeWindow(u"cnTaobaoFindMe", false);
    Window top = MakeWindow(id, false);
    Window hidden = MakeWindow(id + u"-mo", true);
    ASSERT_TRUE(upper && mixed && top && hidden);
    const std::u16string_view title(id);
    EXPECT_EQ(FindImWindow(ImWindowParent::kDesktop, kNoWindow, control::kImWindowClass, &title),
              Handle(top));
    const std::u16string_view upperTitle(u"CNTAOBAOFINDME");
    EXPECT_EQ(
        FindImWindow(ImWindowParent::kDesktop, kNoWindow, control::kImWindowClass, &upperTitle),
        Handle(upper));
    // Another title, a prefix of it, another case of it, and a message-only
    // window's title are not found.
    for (const std::u16string& other :
         {id + u"x", id.substr(0, id.size() - 1), id + u"-mo", std::u16string(u"CNTAOBAOFINDMe")}) {
        const std::u16string_view view(other);
        EXPECT_EQ(FindImWindow(ImWindowParent::kDesktop, kNoWindow, control::kImWindowClass, &view),
                  kNoWindow)
            << std::string(other.begin(), other.end());
    }
    EXPECT_EQ(FindImWindow(ImWindowParent::kDesktop, kNoWindow, u"OtherClass", &title), kNoWindow);
    EXPECT_TRUE(IsImWindow(Handle(top)));
    const ImWindowHandle gone = Handle(top);
    top.reset();
    EXPECT_FALSE(IsImWindow(gone));
    EXPECT_FALSE(GetImWindowText(gone).has_value());
    EXPECT_FALSE(IsImWindow(kNoWindow));
}

TEST_F(ImWindows, EnumeratesMessageOnlyWindowsWithTitlesCutAt255) {
    const std::u16string longTitle = u"cntaobao" + std::u16string(300, u'l');
    std::vector<Window> windows;
    const std::vector<std::u16string> titles = {u"cntaobaoone", u"cnalichntwo:sub", longTitle, u""};
    for (const std::u16string& title : titles) windows.push_back(MakeWindow(title, true));
    Window top = MakeWindow(u"cntaobaotoplevel", false);  // not message-only: not listed
    std::vector<std::u16string> seen;
    for (const ImWindowEntry& entry :
         EnumerateImWindows(ImWindowParent::kMessageOnly, control::kImWindowClass))
        seen.push_back(entry.title);
    for (size_t i = 0; i < titles.size(); ++i) {
        const std::u16string expected = titles[i].substr(0, kImWindowTextCapacity - 1);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), expected), 1) << i;
        EXPECT_EQ(GetImWindowText(Handle(windows[i])), expected);
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), u"cntaobaotoplevel"), 0);
}

TEST_F(ImWindows, DeliversTheRequestPayload) {
    Window top = MakeWindow(u"cntaobaosend", false);
    ASSERT_TRUE(top);
    const std::vector<uint8_t> payload =
        control::BuildLoginRequestPayload(control::BuildLoginRequestLine(u"{B}", u"{E}"));
    g_received = {};
    const SendResult result = SendCopyDataTimeout(Handle(top), control::kLoginRequestWParam,
                                                  control::kLoginRequestDataKind, payload,
                                                  std::chrono::milliseconds(2000));
    EXPECT_EQ(result.outcome, SendOutcome::kSent);
    EXPECT_EQ(result.result, 77);
    EXPECT_EQ(g_received.count, 1);
    EXPECT_EQ(g_received.wParam, 0u);
    EXPECT_EQ(g_received.dwData, 1u);
    EXPECT_EQ(g_received.bytes, payload);
    // No window: nothing is sent.
    const ImWindowHandle gone = Handle(top);
    top.reset();
    EXPECT_EQ(SendCopyDataTimeout(gone, 0, 1, payload, std::chrono::milliseconds(200)).outcome,
              SendOutcome::kFailed);
}

TEST_F(ImWindows, AHungReceiverTimesOutWithinTheBound) {
    // The window belongs to a thread that stops pumping messages.
    const UniqueHandle created(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HWND window = nullptr;
    std::thread owner([&] {
        window = ::CreateWindowExW(0, ClassName(), L"cntaobaohung", 0, 0, 0, 0, 0, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
        ::SetEvent(created.get());
        ::WaitForSingleObject(release.get(), 10000);  // hung: no message loop
        ::DestroyWindow(window);
    });
    ::WaitForSingleObject(created.get(), 10000);
    ASSERT_NE(window, nullptr);
    const std::vector<uint8_t> payload = {1, 2, 3, 4};
    const auto start = std::chrono::steady_clock::now();
    const SendResult result =
        SendCopyDataTimeout(static_cast<ImWindowHandle>(reinterpret_cast<uintptr_t>(window)), 0, 1,
                            payload, std::chrono::milliseconds(300));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.outcome, SendOutcome::kTimedOut);
    EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
    ::SetEvent(release.get());
    owner.join();
}

}  // namespace
}  // namespace corvo::platform
