// Shared fixture of the transport tests: a private endpoint directory per
// test (CORVO_IM_DIR below a fresh mkdtemp directory, so tests can run in
// parallel) and a check that no descriptor outlives the test.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

namespace corvo::platform::testing {

inline int OpenDescriptorCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++count;
        closedir(dir);
    }
    return count;
}

class TransportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char templ[] = "/tmp/corvo-transport-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        root_ = templ;
        imDir_ = root_ + "/im";
        setenv("CORVO_IM_DIR", imDir_.c_str(), 1);
        descriptors_ = OpenDescriptorCount();
    }
    void TearDown() override {
        EXPECT_EQ(OpenDescriptorCount(), descriptors_) << "a descriptor was left open";
        unsetenv("CORVO_IM_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    // The names present in the endpoint directory (none when it is missing),
    // without the directory of blocks and events that a publisher makes.
    std::vector<std::string> DirectoryEntries() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(imDir_, ec))
            if (entry.path().filename() != "objects")
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string root_;
    std::string imDir_;
    int descriptors_ = 0;
};

}  // namespace corvo::platform::testing
