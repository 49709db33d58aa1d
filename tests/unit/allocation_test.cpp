// A failed allocation anywhere in the plug-in is a reported failure, never
// a crash: each test makes one chosen allocation fail.
#include <gtest/gtest.h>

#include "oci.h"
#include "registry/registry.h"
#include "support/memory.h"
#include "support/plugin_fixture.h"
#include "zorvan_host.h"

extern "C" int32_t __cdecl ZorvanPack(int32_t, void *, int32_t, void *);

namespace zorvan {
namespace {

using emu::long_param;
using emu::string_param;

class Allocation : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(host.initialize(), abi::kInitReply);
    ASSERT_TRUE(client.open());
  }
  void TearDown() override {
    memory_fail_at(0);
    host.event(-2);
    client.free_handles();
  }
  emu::Host host{&ZorvanPack};
  test::ClientControl client;
};

TEST_F(Allocation, EnvironmentAssignmentWithoutMemoryAnswersMinusOne) {
  host.event(0);  // the probe first, so that the next allocation is the command's
  memory_fail_at(1);
  EXPECT_EQ(host.call(175, {string_param("ZORVAN_ALLOC"), string_param("x")}).result, -1);
  memory_fail_at(0);
  EXPECT_EQ(host.call(176, {string_param("ZORVAN_ALLOC"), string_param("")}).result, 1);
}

TEST_F(Allocation, HandleTheRegistryCannotTakeIsGivenBack) {
  auto env = host.call(55, {long_param(0), long_param(0)});
  ASSERT_EQ(env.result, OCI_SUCCESS);
  int live = client.live_handles();
  host.add_method("Handler");
  host.call(105, {string_param("Handler")});

  memory_fail_at(1);
  auto r = host.call(53, {long_param(env.long_at(1)), long_param(0), long_param(OCI_HTYPE_STMT)});
  memory_fail_at(0);
  EXPECT_EQ(r.result, OCI_ERROR);
  EXPECT_EQ(r.long_at(2), 0);
  EXPECT_EQ(client.live_handles(), live);
  ASSERT_EQ(host.method_calls().size(), 1u);
  EXPECT_EQ(test::handler_args(host.method_calls()[0]).status, OCI_ERROR);
}

TEST(Registry, AlignedHandlesSpreadAndCollisionsStayFindable) {
  registry_free_all();
  // Handles 256 apart share the low byte; both stay findable.
  ASSERT_EQ(registry_add(0x10000, 1, 0), RegistryAdd::Added);
  ASSERT_EQ(registry_add(0x10100, 2, 0), RegistryAdd::Added);
  EXPECT_EQ(registry_type(0x10000), 1);
  EXPECT_EQ(registry_type(0x10100), 2);
  // The first registration wins.
  EXPECT_EQ(registry_add(0x10000, 9, 7), RegistryAdd::AlreadyRegistered);
  RegistryNode *node = nullptr;
  EXPECT_EQ(registry_find(0x10000, &node), 1);
  EXPECT_EQ(node->parent, 0u);

  // Thousands of 16-byte aligned handles: the table grows and finds them all.
  for (uint32_t h = 0x200000; h < 0x200000 + 16 * 5000; h += 16) registry_add(h, 4, 0);
  for (uint32_t h = 0x200000; h < 0x200000 + 16 * 5000; h += 16) ASSERT_EQ(registry_type(h), 4);
  EXPECT_EQ(registry_remove(0x10100), 0);
  EXPECT_EQ(registry_remove(0x10100), 1);
  EXPECT_EQ(registry_remove(0), 1);
  EXPECT_EQ(registry_free_all(), 5001u);
  EXPECT_EQ(registry_free_all(), 0u);
}

TEST(Registry, FreeingAStatementLeavesItsBindAndDefineHandles) {
  registry_free_all();
  ASSERT_EQ(registry_add(0x5000, 4, 0), RegistryAdd::Added);
  ASSERT_EQ(registry_add(0x5010, 5, 0x5000), RegistryAdd::Added);
  ASSERT_EQ(registry_add(0x5020, 6, 0x5000), RegistryAdd::Added);
  RegistryNode *statement = nullptr;
  registry_find(0x5000, &statement);
  statement->statement_text = static_cast<char *>(plugin_alloc(16));
  EXPECT_EQ(registry_remove(0x5000), 0);
  EXPECT_EQ(registry_type(0x5000), 0);
  RegistryNode *bind = nullptr;
  EXPECT_EQ(registry_find(0x5010, &bind), 5);
  EXPECT_EQ(bind->parent, 0x5000u);
  EXPECT_EQ(registry_type(0x5020), 6);
  EXPECT_EQ(registry_free_all(), 2u);
}

TEST(Registry, NodeThatCannotBeAllocatedLeavesTheHandleUnregistered) {
  memory_fail_at(1);
  EXPECT_EQ(registry_add(0x3000, 1, 0), RegistryAdd::NoMemory);
  memory_fail_at(0);
  EXPECT_EQ(registry_type(0x3000), 0);
}

}  // namespace
}  // namespace zorvan
