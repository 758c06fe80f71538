#include "platform/im_client_endpoint.h"

#include <windows.h>

namespace corvo::platform {
namespace {

// Signalled by the console's control handler; made before the handler is set.
HANDLE g_stopRequested = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            ::SetEvent(g_stopRequested);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool PrepareImClientEndpoint(const std::string& directory, std::string* error) {
    if (directory.empty()) return true;
    *error = "cannot use the endpoint directory " + directory +
             ": Windows has none (the windows and blocks belong to the session)";
    return false;
}

std::string ExchangeObjectLocation(std::u16string_view) {
    return {};
}

uint32_t CurrentProcessId() {
    return ::GetCurrentProcessId();
}

void InterceptStopRequests() {
    if (g_stopRequested == nullptr) g_stopRequested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

void WaitForStopRequest() {
    // Lives for the whole process: the handler may run until the process ends.
    ::WaitForSingleObject(g_stopRequested, INFINITE);
}

}  // namespace corvo::platform
