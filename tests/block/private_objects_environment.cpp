// Every block test process (of test_block and test_blocktool) gets its own
// endpoint directory (CORVO_IM_DIR below a fresh mkdtemp directory), with the
// directory of blocks and events in it, so blocks made by one test are out of
// every other test's reach.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/posix/im_endpoint_directory.h"

namespace {

class PrivateObjectsEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        char templ[] = "/tmp/corvo-block-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        root_ = templ;
        setenv("CORVO_IM_DIR", (root_ + "/im").c_str(), 1);
        ASSERT_TRUE(corvo::platform::ImEndpointDirectory::Open(
            corvo::platform::ImEndpointDirectory::Mode::kCreateIfMissing));
    }
    void TearDown() override {
        unsetenv("CORVO_IM_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

  private:
    std::string root_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new PrivateObjectsEnvironment);

}  // namespace
