#include "support/plugin_fixture.h"

#include <cstring>

#if defined(_WIN32)
#  define WIN32_LEAN_AND_MEAN
#  include <windows.h>
#else
#  include <dlfcn.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace zorvan::test {
namespace {

void *client_symbol(void *library, const char *name) {
#if defined(_WIN32)
  return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
  return dlsym(library, name);
#endif
}

}  // namespace

bool ClientControl::open() {
#if defined(_WIN32)
  void *library = LoadLibraryA("OCI.dll");
#else
  void *library = dlopen("libclntsh.so", RTLD_NOW | RTLD_LOCAL);
#endif
  if (library == nullptr) return false;
  reset = reinterpret_cast<ZecResetFn>(client_symbol(library, "zec_reset"));
  record = reinterpret_cast<ZecRecordFn>(client_symbol(library, "zec_record"));
  call_count = reinterpret_cast<ZecCallCountFn>(client_symbol(library, "zec_call_count"));
  call = reinterpret_cast<ZecCallFn>(client_symbol(library, "zec_call"));
  count_of = reinterpret_cast<ZecCountOfFn>(client_symbol(library, "zec_count_of"));
  script = reinterpret_cast<ZecScriptFn>(client_symbol(library, "zec_script"));
  script_out = reinterpret_cast<ZecScriptOutFn>(client_symbol(library, "zec_script_out"));
  script_piece_length = reinterpret_cast<ZecScriptPieceLengthFn>(client_symbol(library, "zec_script_piece_length"));
  live_handles = reinterpret_cast<ZecLiveHandlesFn>(client_symbol(library, "zec_live_handles"));
  environment = reinterpret_cast<ZecEnvironmentFn>(client_symbol(library, "zec_environment"));
  execute = reinterpret_cast<ZecExecuteFn>(client_symbol(library, "zec_execute"));
  query = reinterpret_cast<ZecQueryFn>(client_symbol(library, "zec_query"));
  new_collection = reinterpret_cast<ZecTestCollectionFn>(client_symbol(library, "zectest_collection"));
  new_ref = reinterpret_cast<ZecTestRefFn>(client_symbol(library, "zectest_ref"));
  new_raw = reinterpret_cast<ZecTestRawFn>(client_symbol(library, "zectest_raw"));
  free_object = reinterpret_cast<ZecTestFreeFn>(client_symbol(library, "zectest_free"));
  free_handles = reinterpret_cast<ZecTestFreeHandlesFn>(client_symbol(library, "zectest_free_handles"));
  return reset && record && call_count && call && count_of && script && script_out && script_piece_length && live_handles &&
         environment && execute && query && new_collection && new_ref && new_raw && free_object && free_handles;
}

void set_process_environment(const std::string &name, const std::string &value) {
#if defined(_WIN32)
  _putenv((name + "=" + value).c_str());
#else
  if (value.empty()) {
    unsetenv(name.c_str());
  } else {
    setenv(name.c_str(), value.c_str(), 1);
  }
#endif
}

void PluginTest::SetUp() {
  plugin_ = emu::load_plugin(ZORVAN_PLUGIN_FILE);
  ASSERT_NE(plugin_.entry, nullptr) << plugin_.error;
  host_ = std::make_unique<emu::Host>(plugin_.entry);
  // Every command a test calls is checked against the plug-in's manifest.
  ASSERT_TRUE(host_->load_manifest(ZORVAN_MANIFEST_FILE)) << ZORVAN_MANIFEST_FILE;
  ASSERT_EQ(host_->initialize(), abi::kInitReply);
  ASSERT_TRUE(client.open());
  client.reset();
  client.record(1);
}

void PluginTest::TearDown() {
  if (client.record) client.record(0);
  if (host_) {
    host_->event(-2);
    EXPECT_TRUE(host_->faults().empty()) << host_->faults().front();
  }
  host_.reset();
  emu::unload_plugin(plugin_);
  // What the test made through OCI goes with it, the probe's environment
  // of this copy of the plug-in included.
  if (client.free_handles) client.free_handles();
}

std::string fresh_directory() {
#if defined(_WIN32)
  // A unique name from the system, made into a directory in its place.
  char base[MAX_PATH];
  char name[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  if (GetTempFileNameA(base, "zvt", 0, name) == 0) return base;
  DeleteFileA(name);
  CreateDirectoryA(name, nullptr);
  return name;
#else
  char name[] = "/tmp/zorvan-test-XXXXXX";
  return mkdtemp(name) ? name : "/tmp";
#endif
}

HandlerArgs handler_args(const emu::MethodCall &call) {
  HandlerArgs args{0, 0};
  if (call.arguments.size() != 2) return args;
  EXPECT_EQ(call.arguments[0].tag(), abi::kTagLong);
  EXPECT_EQ(call.arguments[1].tag(), abi::kTagLong);
  std::memcpy(&args.status, call.arguments[0].bytes + 2, 4);
  std::memcpy(&args.handle, call.arguments[1].bytes + 2, 4);
  return args;
}

}  // namespace zorvan::test
