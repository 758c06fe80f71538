#include "platform/im_client_endpoint.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/exchange_object_directory.h"
#include "platform/posix/im_endpoint_directory.h"

namespace corvo::platform {
namespace {

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    return signals;
}

}  // namespace

bool PrepareImClientEndpoint(const std::string& directory, std::string* error) {
    // Everything after this looks for the endpoint directory in the environment.
    if (!directory.empty()) ::setenv("CORVO_IM_DIR", directory.c_str(), 1);
    const std::string path = ImEndpointDirectoryPath();
    const auto endpoint = ImEndpointDirectory::Open(ImEndpointDirectory::Mode::kCreateIfMissing);
    auto objects = endpoint ? OpenExchangeObjectDirectory() : std::nullopt;
    if (!objects) {
        const std::string where = endpoint ? ExchangeObjectDirectoryPath() : path;
        *error = "cannot use the endpoint directory " + where + ": " +
                 (errno == EPERM ? std::string("not a private directory of this user (it must be "
                                               "owned by you, mode 0700, not a symbolic link)")
                                 : std::string(std::strerror(errno)));
        return false;
    }
    // Whatever a killed client left (its user blocks, above all) goes before
    // anything is published.
    RemoveStaleExchangeObjects(objects->get());
    return true;
}

std::string ExchangeObjectLocation(std::u16string_view name) {
    const auto file = ExchangeObjectFileName(name);
    return " (" + ExchangeObjectDirectoryPath() + "/" + file.value_or("?") + ")";
}

uint32_t CurrentProcessId() {
    return static_cast<uint32_t>(::getpid());
}

void InterceptStopRequests() {
    // The signals are taken by sigwait; every thread started later inherits the mask.
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

void WaitForStopRequest() {
    const sigset_t signals = StopSignals();
    int signal = 0;
    while (sigwait(&signals, &signal) != 0) {
    }
}

}  // namespace corvo::platform
