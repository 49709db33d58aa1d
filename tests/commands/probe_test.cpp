// The client probe against libraries that are missing or incomplete. Each
// suite runs in its own process, with its own library on the search path.
#include <gtest/gtest.h>

#include <string>

#include "oci.h"
#include "support/messages.h"
#include "zorvan_host.h"

namespace zorvan::test {
namespace {

using emu::long_param;
using emu::string_param;

constexpr int32_t kPreset = 0x5A5A5A5A;

class Probe : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin_ = emu::load_plugin(ZORVAN_PLUGIN_FILE);
    ASSERT_NE(plugin_.entry, nullptr) << plugin_.error;
    host_ = std::make_unique<emu::Host>(plugin_.entry);
    host_->initialize();
  }
  void TearDown() override {
    host_.reset();
    emu::unload_plugin(plugin_);
  }
  // Runs a call and returns the messages the plug-in showed the user.
  std::string messages_of(int32_t selector, const std::vector<emu::Param> &params,
                          emu::CallResult *result = nullptr) {
    MessageCapture capture(plugin_);
    emu::CallResult r = host_->call(selector, params);
    if (result) *result = r;
    EXPECT_TRUE(capture.plain_boxes());
    return capture.text();
  }
  static std::string missing(const std::string &what) {
    return what + client_library_name() + "\n";
  }
  emu::Plugin plugin_;
  std::unique_ptr<emu::Host> host_;
};

// Every command stays silent once the probe has failed: nothing read,
// nothing written, not even by commands that call no OCI function.
void expect_commands_disabled(emu::Host &host) {
  for (int32_t selector : {55, 53, 103, 104, 105, 175, 176, 171}) {
    auto r = host.call(selector, {long_param(11), long_param(22), long_param(33)});
    EXPECT_EQ(r.result, kPreset) << selector;
    EXPECT_EQ(r.long_at(1), 11) << selector;
    EXPECT_EQ(r.long_at(2), 22) << selector;
  }
  EXPECT_EQ(host.event(-2), 0);
  EXPECT_EQ(host.initialize(-1), abi::kInitReply);
}

TEST_F(Probe, MissingLibraryIsReportedOnce) {
  emu::CallResult r;
  EXPECT_EQ(messages_of(55, {long_param(0), long_param(0)}, &r), missing("Dll not found: "));
  EXPECT_EQ(r.result, kPreset);
  EXPECT_EQ(r.long_at(1), 0);
  EXPECT_EQ(messages_of(55, {long_param(0), long_param(0)}), "");
  expect_commands_disabled(*host_);
}

TEST_F(Probe, LibraryWithoutEnvCreateIsReportedOnce) {
  emu::CallResult r;
  EXPECT_EQ(messages_of(103, {}, &r), missing("Function OCIEnvCreate was not found in "));
  EXPECT_EQ(r.result, kPreset);
  EXPECT_EQ(messages_of(103, {}), "");
  expect_commands_disabled(*host_);
}

TEST_F(Probe, MissingFunctionEndsTheCommandThroughTheErrorPath) {
  host_->add_method("Handler");
  host_->call(105, {string_param("Handler")});
  auto env = host_->call(55, {long_param(0), long_param(0)});
  ASSERT_EQ(env.result, OCI_SUCCESS);

  emu::CallResult r;
  std::vector<emu::Param> alloc = {long_param(env.long_at(1)), long_param(0),
                                   long_param(OCI_HTYPE_ERROR)};
  EXPECT_EQ(messages_of(53, alloc, &r), missing("Function OCIHandleAlloc was not found in "));
  EXPECT_EQ(r.result, OCI_ERROR);
  EXPECT_EQ(r.long_at(2), 0);
  ASSERT_EQ(host_->method_calls().size(), 1u);

  // The same gap is not shown twice, but every command that meets it fails.
  EXPECT_EQ(messages_of(53, alloc, &r), "");
  EXPECT_EQ(r.result, OCI_ERROR);
  EXPECT_EQ(host_->method_calls().size(), 2u);
  // Commands that need no missing function still run.
  EXPECT_EQ(host_->call(104, {}).result, 1);
}

}  // namespace
}  // namespace zorvan::test
