// The entry, the client gate, the host events and the commands that keep
// the registry, driven through ZorvanPack as Zorvan drives them.
#include <gtest/gtest.h>

#include <cstring>

#include "oci.h"
#include <stdexcept>

#include "support/plugin_fixture.h"

namespace zorvan::test {
namespace {

using emu::long_param;
using emu::ResultKind;
using emu::string_param;

constexpr int32_t kPreset = 0x5A5A5A5A;

class Entry : public PluginTest {
 protected:
  int32_t env_create() {
    auto r = host().call(55, {long_param(0), long_param(OCI_DEFAULT)});
    EXPECT_EQ(r.result, OCI_SUCCESS);
    return r.long_at(1);
  }
  emu::CallResult handle_alloc(int32_t env, int32_t type) {
    return host().call(53, {long_param(env), long_param(0), long_param(type)});
  }
};

TEST_F(Entry, TheManifestChecksEveryCallATestMakes) {
  // Too few parameters, and a real where a long belongs: both fail loudly.
  EXPECT_THROW(host().call(53, {long_param(0), long_param(0)}), std::invalid_argument);
  EXPECT_THROW(host().call(53, {long_param(0), emu::real_param(1), long_param(2)}), std::invalid_argument);
  EXPECT_NO_THROW(host().call(53, {long_param(0), long_param(0), long_param(2)}));
  // Selectors without a command are not checked.
  EXPECT_NO_THROW(host().call(80, {emu::real_param(1)}));
}

TEST_F(Entry, InitialisationWritesOnlyTheReplyWord) {
  uint32_t record[8];
  std::memset(record, 0xAB, sizeof record);
  record[abi::kInitCallbackWord] =
      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&emu::Host::callback));
  entry()(-200, record, 0, nullptr);
  for (int i = 0; i < 8; ++i) {
    if (i == abi::kInitReplyWord) {
      EXPECT_EQ(record[i], 0x660u);
    } else if (i != abi::kInitCallbackWord) {
      EXPECT_EQ(record[i], 0xABABABABu) << "word " << i;
    }
  }
}

TEST_F(Entry, ExemptEventsDoNotProbeAndTheProbeRunsOnce) {
  for (int32_t event : {-250, -220, -207, -206, -205, -202, -201, -200, -10, -4, -3, -2, -1}) {
    if (event == -200 || event == -1) host().initialize(event);
    else host().event(event);
  }
  EXPECT_EQ(client.count_of("OCIEnvCreate"), 0);

  host().event(-5);
  EXPECT_EQ(client.count_of("OCIEnvCreate"), 1);
  host().event(-100);
  host().call(103, {}, ResultKind::String);
  EXPECT_EQ(client.count_of("OCIEnvCreate"), 1);
}

TEST_F(Entry, SelectorZeroProbes) {
  host().event(0);
  EXPECT_EQ(client.count_of("OCIEnvCreate"), 1);
}

TEST_F(Entry, SelectorsWithoutACommandDoNothing) {
  for (int32_t selector : {69, 80, 97, 177, 1000, -5}) {
    auto r = host().call(selector, {long_param(7)});
    EXPECT_EQ(r.result, kPreset) << selector;
    EXPECT_EQ(r.long_at(1), 7) << selector;
  }
  // The probe's trial call is the only OCI call made.
  EXPECT_EQ(client.call_count(), 1);
}

TEST_F(Entry, ProbeEnvironmentStaysUnregisteredAndAllocated) {
  int live = client.live_handles();
  host().event(0);
  EXPECT_EQ(client.live_handles(), live + 1);
  EXPECT_EQ(host().call(104, {}).result, 0);
  EXPECT_EQ(host().event(-2), 0);
  EXPECT_EQ(client.live_handles(), live + 1);
}

TEST_F(Entry, ShutdownFreesTheRecordsButNotTheHandles) {
  int32_t env = env_create();
  auto error = handle_alloc(env, OCI_HTYPE_ERROR);
  ASSERT_EQ(error.result, OCI_SUCCESS);
  int live = client.live_handles();

  EXPECT_EQ(host().event(-2), 2);
  EXPECT_EQ(client.live_handles(), live);
  EXPECT_EQ(host().event(-2), 0);
  EXPECT_EQ(handle_alloc(env, OCI_HTYPE_ERROR).result, OCI_INVALID_HANDLE);
}

TEST_F(Entry, InitialisationForgetsRegisteredHandles) {
  int32_t env = env_create();
  host().initialize(-1);
  auto r = handle_alloc(env, OCI_HTYPE_ERROR);
  EXPECT_EQ(r.result, OCI_INVALID_HANDLE);
  EXPECT_EQ(r.long_at(2), 0);
  // The abandoned node is not freed, so shutdown finds nothing.
  EXPECT_EQ(host().event(-2), 0);
}

TEST_F(Entry, HandlesAreCheckedAgainstTheirRegisteredType) {
  int32_t env = env_create();
  auto error = handle_alloc(env, OCI_HTYPE_ERROR);
  ASSERT_EQ(error.result, OCI_SUCCESS);
  int calls = client.call_count();

  // An error handle where an environment is wanted, and a number never seen.
  auto r = handle_alloc(error.long_at(2), OCI_HTYPE_STMT);
  EXPECT_EQ(r.result, OCI_INVALID_HANDLE);
  EXPECT_EQ(r.long_at(2), 0);
  EXPECT_EQ(handle_alloc(12345, OCI_HTYPE_STMT).result, OCI_INVALID_HANDLE);
  EXPECT_EQ(client.call_count(), calls);
}

TEST_F(Entry, FreeingAHandleForgetsItAndZeroesTheParameter) {
  int32_t env = env_create();
  int32_t stmt = handle_alloc(env, OCI_HTYPE_STMT).long_at(2);
  auto freed = host().call(52, {long_param(stmt)});
  EXPECT_EQ(freed.result, OCI_SUCCESS);
  EXPECT_EQ(freed.long_at(1), 0);
  EXPECT_EQ(host().call(52, {long_param(stmt)}).result, OCI_INVALID_HANDLE);

  // The registered type is what OCI is told.
  int32_t error = handle_alloc(env, OCI_HTYPE_ERROR).long_at(2);
  host().call(52, {long_param(error)});
  uint32_t args[4];
  char name[32];
  ASSERT_EQ(client.call(client.call_count() - 1, name, sizeof name, args, 4), 2);
  EXPECT_STREQ(name, "OCIHandleFree");
  EXPECT_EQ(args[0], static_cast<uint32_t>(error));
  EXPECT_EQ(args[1], static_cast<uint32_t>(OCI_HTYPE_ERROR));
}

TEST_F(Entry, DescriptorsComeAndGo) {
  int32_t env = env_create();
  auto made = host().call(60, {long_param(env), long_param(0), long_param(OCI_DTYPE_LOB)});
  ASSERT_EQ(made.result, OCI_SUCCESS);
  int32_t lob = made.long_at(2);
  ASSERT_NE(lob, 0);
  auto freed = host().call(59, {long_param(lob)});
  EXPECT_EQ(freed.result, OCI_SUCCESS);
  EXPECT_EQ(freed.long_at(1), 0);
  EXPECT_EQ(host().call(59, {long_param(lob)}).result, OCI_INVALID_HANDLE);
}

TEST_F(Entry, AllocationAndFreeTakeOnlyFullSuccess) {
  int32_t env = env_create();
  int live = client.live_handles();
  client.script("OCIHandleAlloc", OCI_SUCCESS_WITH_INFO, ZEC_AFTER);
  auto r = handle_alloc(env, OCI_HTYPE_STMT);
  EXPECT_EQ(r.result, OCI_SUCCESS_WITH_INFO);
  EXPECT_EQ(r.long_at(2), 0);
  EXPECT_EQ(client.live_handles(), live + 1);  // OCI made it; the plug-in did not take it

  int32_t stmt = handle_alloc(env, OCI_HTYPE_STMT).long_at(2);
  client.script("OCIHandleFree", OCI_SUCCESS_WITH_INFO, ZEC_INSTEAD);
  auto kept = host().call(52, {long_param(stmt)});
  EXPECT_EQ(kept.result, OCI_SUCCESS_WITH_INFO);
  EXPECT_EQ(kept.long_at(1), stmt);
  EXPECT_EQ(host().call(52, {long_param(stmt)}).result, OCI_SUCCESS);
}

TEST_F(Entry, ErrorHandlerHearsFailuresAsLongIntegers) {
  int32_t handler = host().add_method("OnOracleError");
  host().call(105, {string_param("OnOracleError")});
  auto r = handle_alloc(999, OCI_HTYPE_ERROR);
  EXPECT_EQ(r.result, OCI_INVALID_HANDLE);
  ASSERT_EQ(host().method_calls().size(), 1u);
  EXPECT_EQ(host().method_calls()[0].id, handler);
  HandlerArgs args = handler_args(host().method_calls()[0]);
  EXPECT_EQ(args.status, OCI_INVALID_HANDLE);
  EXPECT_EQ(args.handle, 0);

  // An unknown name and an empty one turn the handler off.
  host().call(105, {string_param("NoSuchMethod")});
  handle_alloc(999, OCI_HTYPE_ERROR);
  host().call(105, {string_param("OnOracleError")});
  host().call(105, {string_param("")});
  handle_alloc(999, OCI_HTYPE_ERROR);
  EXPECT_EQ(host().method_calls().size(), 1u);
}

TEST_F(Entry, ErrorHandlerRunsBeforeTheResultAndMayFailAgain) {
  int depth = 0;
  int32_t result_seen = 0;
  host().add_method("Handler", [&](std::span<const emu::Variable>) {
    ++depth;
    if (depth == 1) {
      // A nested failing command calls the handler again.
      result_seen = handle_alloc(998, OCI_HTYPE_ERROR).result;
    }
    return emu::Variable{};
  });
  host().call(105, {string_param("Handler")});
  auto r = handle_alloc(999, OCI_HTYPE_ERROR);
  EXPECT_EQ(r.result, OCI_INVALID_HANDLE);
  EXPECT_EQ(result_seen, OCI_INVALID_HANDLE);
  EXPECT_EQ(depth, 2);
  // Initialisation forgets the handler.
  host().initialize(-1);
  handle_alloc(999, OCI_HTYPE_ERROR);
  EXPECT_EQ(depth, 2);
}

TEST_F(Entry, ErrorHandlerIsReplacedAndIdZeroIsNeverCalled) {
  host().add_method("First");
  int32_t second = host().add_method("Second");
  host().call(105, {string_param("First")});
  host().call(105, {string_param("Second")});
  handle_alloc(999, OCI_HTYPE_ERROR);
  ASSERT_EQ(host().method_calls().size(), 1u);
  EXPECT_EQ(host().method_calls()[0].id, second);

  host().add_method_with_id("Zero", 0);
  host().call(105, {string_param("Zero")});
  EXPECT_EQ(handle_alloc(999, OCI_HTYPE_ERROR).result, OCI_INVALID_HANDLE);
  EXPECT_EQ(host().method_calls().size(), 1u);
}

TEST_F(Entry, StatusIsWrittenWhenTheHandlerCannotBeCalled) {
  host().add_method("Handler");
  host().call(105, {string_param("Handler")});
  host().set_refuse_new_handles(true);
  EXPECT_EQ(handle_alloc(999, OCI_HTYPE_ERROR).result, OCI_INVALID_HANDLE);
  host().set_refuse_new_handles(false);
  EXPECT_TRUE(host().method_calls().empty());
}

TEST_F(Entry, VersionAndFreeAll) {
  EXPECT_EQ(host().call(103, {}, ResultKind::String).result_text, "ZorvanOCI ANSI b1 1.0.2");
  int32_t env = env_create();
  handle_alloc(env, OCI_HTYPE_ERROR);
  EXPECT_EQ(host().call(104, {}).result, 2);
  EXPECT_EQ(host().call(104, {}).result, 0);
  EXPECT_EQ(handle_alloc(env, OCI_HTYPE_ERROR).result, OCI_INVALID_HANDLE);
}

TEST_F(Entry, EnvironmentVariablesRoundTripWithinTheirLimits) {
  std::string exact(255, 'x');
  std::string longer(256, 'y');
  EXPECT_EQ(host().call(175, {string_param("ZORVAN_TEST_A"), string_param("caf\xE9")}).result, 0);
  auto read = host().call(176, {string_param("ZORVAN_TEST_A"), string_param("")});
  EXPECT_EQ(read.result, 0);
  EXPECT_EQ(read.string_at(2), "caf\xE9");

  host().call(175, {string_param("ZORVAN_TEST_A"), string_param(exact)});
  read = host().call(176, {string_param("ZORVAN_TEST_A"), string_param("")});
  EXPECT_EQ(read.result, 0);
  EXPECT_EQ(read.string_at(2), exact);

  set_process_environment("ZORVAN_TEST_B", longer);
  read = host().call(176, {string_param("ZORVAN_TEST_B"), string_param("")});
  EXPECT_EQ(read.result, -1);
  EXPECT_EQ(read.string_at(2), longer.substr(0, 255));

  host().call(175, {string_param("ZORVAN_TEST_A"), string_param("")});
  read = host().call(176, {string_param("ZORVAN_TEST_A"), string_param("old")});
  EXPECT_EQ(read.result, 1);
  EXPECT_EQ(read.string_at(2), "");
}

#if !defined(_WIN32)
TEST_F(Entry, OracleHomeComesFromTheEnvironment) {
  host().call(175, {string_param("ORACLE_HOME"), string_param("")});
  EXPECT_EQ(host().call(171, {}, ResultKind::String).result_text, "Not found");
  host().call(175, {string_param("ORACLE_HOME"), string_param("/opt/oracle/client")});
  EXPECT_EQ(host().call(171, {}, ResultKind::String).result_text, "/opt/oracle/client");
  set_process_environment("ORACLE_HOME", std::string(1024, 'h'));
  EXPECT_EQ(host().call(171, {}, ResultKind::String).result_text, "Not found");
  set_process_environment("ORACLE_HOME", "");
}
#endif

TEST_F(Entry, EnvironmentReachesTheClient) {
  char value[64];
  host().call(175, {string_param("ZORVAN_SEEN_BY_CLIENT"), string_param("yes")});
  ASSERT_EQ(client.environment("ZORVAN_SEEN_BY_CLIENT", value, sizeof value), 3);
  EXPECT_STREQ(value, "yes");
  host().call(175, {string_param("ZORVAN_SEEN_BY_CLIENT"), string_param("")});
  EXPECT_EQ(client.environment("ZORVAN_SEEN_BY_CLIENT", value, sizeof value), -1);
}

TEST_F(Entry, TerminateNeverReports) {
  host().add_method("Handler");
  host().call(105, {string_param("Handler")});
  client.script("OCITerminate", OCI_ERROR, ZEC_INSTEAD);
  EXPECT_EQ(host().call(56, {}).result, OCI_ERROR);
  EXPECT_TRUE(host().method_calls().empty());
}

}  // namespace
}  // namespace zorvan::test
