#include "tools/corvo-sso-host/host_loop.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/com_apartment.h"
#include "tools/corvo-sso-host/native_message_stream.h"

namespace corvo::host {
namespace {

// The answers' writer: one message at a time on `out`, from any thread.
class AnswerWriter {
  public:
    AnswerWriter(std::ostream& out, std::ostream& log) : out_(out), log_(log) {}

    void Write(const std::string& answer) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (failed_) return;
        if (!WriteNativeMessage(out_, answer)) {
            failed_ = true;
            log_ << "corvo-sso-host: cannot write to standard output\n";
        }
    }
    bool failed() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return failed_;
    }

  private:
    std::mutex mutex_;
    std::ostream& out_;
    std::ostream& log_;
    bool failed_ = false;
};

// Parsed requests waiting for a worker, in the order they came.
class RequestQueue {
  public:
    explicit RequestQueue(size_t maxPending) : maxPending_(maxPending) {}

    // Waits while `maxPending` requests are read and unanswered.
    void Push(HostRequest request) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            room_.wait(lock, [&] { return pending_ < maxPending_; });
            ++pending_;
            waiting_.push_back(std::move(request));
        }
        ready_.notify_one();
    }
    // The next request, or false once the input has ended and none is left.
    bool Pop(HostRequest* request) {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [&] { return closed_ || !waiting_.empty(); });
        if (waiting_.empty()) return false;
        *request = std::move(waiting_.front());
        waiting_.pop_front();
        return true;
    }
    void Answered() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            --pending_;
        }
        room_.notify_one();
    }
    void Close() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;  // a request is waiting, or the input ended
    std::condition_variable room_;   // one fewer is pending
    std::deque<HostRequest> waiting_;
    size_t pending_ = 0;
    const size_t maxPending_;
    bool closed_ = false;
};

void Work(RequestQueue& queue, AnswerWriter& writer, const RequestHandler& handler) {
    // The controls live on this thread, in its apartment, as on a page's thread.
    const platform::ComApartment apartment;
    HostRequest request;
    while (queue.Pop(&request)) {
        std::string answer;
        if (FAILED(apartment.result())) {
            answer = ErrorAnswer({apartment.result(), "CoInitializeEx failed"});
        } else {
            try {
                answer = handler(request);
            } catch (const std::exception& e) {
                answer = ErrorAnswer({E_FAIL, e.what()});
            }
        }
        writer.Write(WithRequestId(request.id, answer));
        queue.Answered();
    }
}

}  // namespace

int ServeMessages(std::istream& in, std::ostream& out, std::ostream& log,
                  const RequestHandler& handler, const ServeLimits& limits) {
    // A stream tied to `out` (std::cin is tied to std::cout) would flush it
    // on every read, from this thread, while a worker writes to it.
    in.tie(nullptr);
    AnswerWriter writer(out, log);
    RequestQueue queue(std::max<size_t>(limits.maxPending, 1));
    std::vector<std::thread> workers;
    for (size_t i = 0; i < std::max<size_t>(limits.workers, 1); ++i)
        workers.emplace_back(Work, std::ref(queue), std::ref(writer), std::cref(handler));

    int code = kHostExitOk;
    for (bool reading = true; reading && !writer.failed();) {
        Frame frame = ReadNativeMessage(in);
        switch (frame.status) {
            case FrameStatus::kEnd:
                reading = false;
                break;
            case FrameStatus::kTruncated:
                log << "corvo-sso-host: standard input closed inside a message\n";
                code = kHostExitTruncated;
                reading = false;
                break;
            case FrameStatus::kTooLarge:
                writer.Write(
                    ErrorAnswer({E_INVALIDARG, "the request has " + std::to_string(frame.length) +
                                                   " bytes; the limit is " +
                                                   std::to_string(kMaxRequestBytes)}));
                break;
            case FrameStatus::kMessage: {
                HostRequest request;
                HostError error;
                if (!ParseHostRequest(frame.body, &request, &error)) {
                    writer.Write(WithRequestId(request.id, ErrorAnswer(error)));
                } else {
                    queue.Push(std::move(request));
                }
                break;
            }
        }
    }
    queue.Close();
    for (std::thread& worker : workers) worker.join();
    return writer.failed() ? kHostExitTruncated : code;
}

}  // namespace corvo::host
