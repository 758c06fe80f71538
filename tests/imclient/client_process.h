// corvo-imclient.exe as a child process of the test: started with its
// arguments (a ready file and the output files added), stopped when the
// holder goes away.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace corvo::imclient_test {

class ClientProcess {
  public:
    explicit ClientProcess(const std::vector<std::wstring>& args);
    ~ClientProcess();
    ClientProcess(const ClientProcess&) = delete;
    ClientProcess& operator=(const ClientProcess&) = delete;

    // True once the client wrote its ready file (within 20 s).
    bool ready() const { return ready_; }
    // Waits for the client to end by itself; its exit code, or -1 after 20 s.
    int WaitForExit();
    // What the client wrote to standard output and error so far.
    std::string Output() const;
    std::string Errors() const;

  private:
    std::wstring directory_;
    PROCESS_INFORMATION process_{};
    bool ready_ = false;
};

// The lines of `text` that start with `prefix` and a space, without them.
std::vector<std::string> Records(const std::string& text, const std::string& prefix);

}  // namespace corvo::imclient_test
