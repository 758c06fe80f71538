#include "platform/served_window.h"

#include <windows.h>

#include <cerrno>
#include <deque>
#include <string>
#include <thread>

#include "platform/com/ole_text.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_error.h"

namespace corvo::platform {
namespace {

// Posted by the window procedure to itself: hand the oldest copied message to
// the receiver. And posted by the holder: destroy the window, end the loop.
constexpr UINT kDeliverPending = WM_APP + 1;
constexpr UINT kStopServing = WM_APP + 2;

}  // namespace

struct ServedWindow::System {
    System(Receiver handed, UniqueHandle stop)
        : receiver(std::move(handed)), stopEvent(std::move(stop)) {}

    // The window's thread: creates the window, reports the outcome through
    // `created`/`createErrno` and `createdEvent`, then serves (or, without a
    // receiver, waits for the stop event) and destroys the window.
    void Run(WindowKind kind, const std::u16string& className, const std::u16string& title,
             HANDLE createdEvent, bool* created, int* createErrno);
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);

    Receiver receiver;
    UniqueHandle stopEvent;               // ends a window that runs no message loop
    HWND window = nullptr;                // set by the window's thread before it reports success
    std::deque<CopyDataMessage> pending;  // used by the window's thread only
    std::thread thread;
};

namespace {

bool RegisterWindowClass(const std::u16string& className, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = AsOleText(className.c_str());
    // Every window of the class comes from this procedure, so a class
    // registered earlier in the process is the same one.
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

std::unique_ptr<ServedWindow> ServedWindow::Publish(WindowKind kind, std::u16string_view className,
                                                    std::u16string_view title, Receiver receiver) {
    if (className.empty() || className.find(u'\0') != std::u16string_view::npos ||
        title.find(u'\0') != std::u16string_view::npos) {
        errno = EINVAL;
        return nullptr;
    }
    UniqueHandle stopEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle createdEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopEvent || !createdEvent) {
        SetErrnoFromLastError();
        return nullptr;
    }
    auto system = std::make_unique<System>(std::move(receiver), std::move(stopEvent));
    bool created = false;
    int createErrno = 0;
    system->thread = std::thread(
        [&, s = system.get(), cls = std::u16string(className), text = std::u16string(title)] {
            s->Run(kind, cls, text, createdEvent.get(), &created, &createErrno);
        });
    ::WaitForSingleObject(createdEvent.get(), INFINITE);
    if (!created) {
        system->thread.join();
        errno = createErrno != 0 ? createErrno : EIO;
        return nullptr;
    }
    return std::unique_ptr<ServedWindow>(new ServedWindow(std::move(system)));
}

ServedWindow::ServedWindow(std::unique_ptr<System> system) : system_(std::move(system)) {}

ServedWindow::~ServedWindow() {
    if (system_->receiver)
        ::PostMessageW(system_->window, kStopServing, 0, 0);
    else
        ::SetEvent(system_->stopEvent.get());
    if (system_->thread.joinable()) system_->thread.join();
}

void ServedWindow::System::Run(WindowKind kind, const std::u16string& className,
                               const std::u16string& title, HANDLE createdEvent, bool* created,
                               int* createErrno) {
    HWND made = nullptr;
    if (RegisterWindowClass(className, &System::WindowProcedure))
        made =
            ::CreateWindowExW(0, AsOleText(className.c_str()), AsOleText(title.c_str()), WS_POPUP,
                              0, 0, 0, 0, kind == WindowKind::kMessageOnly ? HWND_MESSAGE : nullptr,
                              nullptr, ::GetModuleHandleW(nullptr), this);
    if (made == nullptr) {
        SetErrnoFromLastError();
        *createErrno = errno;
        ::SetEvent(createdEvent);
        return;
    }
    // Last among its siblings: enumeration order is publication order.
    ::SetWindowPos(made, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    window = made;
    *created = true;
    ::SetEvent(createdEvent);  // nothing of Publish's is touched after this

    if (!receiver) {
        // Hung: nothing ever reads this thread's messages.
        ::WaitForSingleObject(stopEvent.get(), INFINITE);
        ::DestroyWindow(made);
        return;
    }
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
}

LRESULT CALLBACK ServedWindow::System::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                       LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<System*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    return self->Handle(window, message, wParam, lParam);
}

LRESULT ServedWindow::System::Handle(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COPYDATA: {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (data == nullptr) return FALSE;
            CopyDataMessage copied;
            copied.wParam = static_cast<uint64_t>(wParam);
            copied.dwData = static_cast<uint64_t>(data->dwData);
            if (data->cbData > 0 && data->lpData != nullptr) {
                const auto* bytes = static_cast<const uint8_t*>(data->lpData);
                copied.data.assign(bytes, bytes + data->cbData);
            }
            // The data is valid only during this call; the work waits until
            // the sender has its answer.
            pending.push_back(std::move(copied));
            ::PostMessageW(target, kDeliverPending, 0, 0);
            return TRUE;
        }
        case kDeliverPending:
            if (!pending.empty()) {
                CopyDataMessage next = std::move(pending.front());
                pending.pop_front();
                receiver(next);
            }
            return 0;
        case kStopServing:
            ::DestroyWindow(target);
            return 0;
        case WM_CLOSE:
            return 0;  // the holder decides when the window goes
        case WM_NCDESTROY:
            ::SetWindowLongPtrW(target, GWLP_USERDATA, 0);
            if (receiver) ::PostQuitMessage(0);
            return ::DefWindowProcW(target, message, wParam, lParam);
        default:
            return ::DefWindowProcW(target, message, wParam, lParam);
    }
}

}  // namespace corvo::platform
