// Loads a fresh copy of the built plug-in into a host emulator, and reaches
// the embedded client's control interface, for tests that drive the plug-in
// through ZorvanPack as Zorvan does.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "zec_control.h"
#include "zorvan_host.h"

namespace zorvan::test {

// The embedded client the plug-in loads: opening it by the same name gives
// the same instance, so its recording and scripts are shared.
struct ClientControl {
  bool open();
  ZecResetFn reset = nullptr;
  ZecRecordFn record = nullptr;
  ZecCallCountFn call_count = nullptr;
  ZecCallFn call = nullptr;
  ZecCountOfFn count_of = nullptr;
  ZecScriptFn script = nullptr;
  ZecScriptOutFn script_out = nullptr;
  ZecScriptPieceLengthFn script_piece_length = nullptr;
  ZecLiveHandlesFn live_handles = nullptr;
  ZecEnvironmentFn environment = nullptr;
  ZecExecuteFn execute = nullptr;
  ZecQueryFn query = nullptr;
  // Test-only objects for the collection, REF and raw commands.
  ZecTestCollectionFn new_collection = nullptr;
  ZecTestRefFn new_ref = nullptr;
  ZecTestRawFn new_raw = nullptr;
  ZecTestFreeFn free_object = nullptr;
  ZecTestFreeHandlesFn free_handles = nullptr;
};

// Sets (or, with an empty value, removes) a variable of this process's
// environment behind the plug-in's back.
void set_process_environment(const std::string &name, const std::string &value);

// A new, empty directory for a test's files.
std::string fresh_directory();

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  emu::Host &host() { return *host_; }
  abi::PackEntry entry() const { return plugin_.entry; }
  ClientControl client;

 private:
  emu::Plugin plugin_;
  std::unique_ptr<emu::Host> host_;
};

// The status and handle an error-handler method received.
struct HandlerArgs {
  int32_t status;
  int32_t handle;
};
HandlerArgs handler_args(const emu::MethodCall &call);

}  // namespace zorvan::test
