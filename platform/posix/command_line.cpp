#include "platform/command_line.h"

namespace corvo::platform {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace corvo::platform
