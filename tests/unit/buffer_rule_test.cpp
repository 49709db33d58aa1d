// The buffer rule and the bind and define records, tried directly against
// the host emulator's variables.
#include <gtest/gtest.h>

#include <cstring>

#include "host/protocol.h"
#include "oci.h"
#include "registry/registry.h"
#include "statement/buffer_rule.h"
#include "statement/records.h"
#include "statement/transfer.h"
#include "support/bytes.h"
#include "support/memory.h"
#include "zorvan_host.h"

extern "C" int32_t __cdecl ZorvanPack(int32_t, void *, int32_t, void *);

namespace zorvan {
namespace {

class BufferRuleTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(host.initialize(-200), abi::kInitReply); }
  void TearDown() override {
    memory_fail_at(0);
    EXPECT_TRUE(host.faults().empty()) << host.faults().front();
  }

  // The rule for a variable (or one of its elements; -1 for the whole).
  BufferRule rule(const std::string &name, uint16_t dty, ValueBuffer *out, int32_t element = -1) {
    auto ref = host.reference_bytes(name, element);
    return size_value_buffer(reinterpret_cast<const VariableReference *>(ref.data()), dty, out);
  }

  // Element size and rows, or {0, 0} when there is no buffer.
  std::pair<int32_t, int32_t> shape(const std::string &name, uint16_t dty, int32_t element = -1) {
    ValueBuffer b;
    if (rule(name, dty, &b, element) != BufferRule::Made) return {0, 0};
    return {b.element_size, b.row_count};
  }

  emu::Host host{&ZorvanPack};
};

TEST_F(BufferRuleTest, EachHostTypeAndDataTypeGetsItsRowSize) {
  host.set_string("s", "abc");
  host.set_short_string("ss", "abc");
  host.set_real("r", 1.5);
  host.set_text("t", "text");
  host.set_date("d", 1, 2, 2003);
  host.set_time("tm", 100);
  host.set_long("l", 7);
  host.set_blob("b", std::string(300, 'x'));
  host.set_blob("empty", "");
  using P = std::pair<int32_t, int32_t>;
  EXPECT_EQ(shape("s", SQLT_STR), P(256, 1));
  EXPECT_EQ(shape("ss", SQLT_STR), P(256, 1));
  EXPECT_EQ(shape("r", SQLT_FLT), P(8, 1));
  EXPECT_EQ(shape("t", SQLT_STR), P(32000, 1));
  EXPECT_EQ(shape("t", SQLT_LNG), P(32001, 1));
  EXPECT_EQ(shape("d", SQLT_ODT), P(8, 1));
  EXPECT_EQ(shape("tm", SQLT_ODT), P(8, 1));
  EXPECT_EQ(shape("l", SQLT_INT), P(4, 1));
  EXPECT_EQ(shape("l", SQLT_ODT), P(8, 1));
  EXPECT_EQ(shape("b", SQLT_LBI), P(300, 1));
  EXPECT_EQ(shape("b", SQLT_LNG), P(300, 1));
  EXPECT_EQ(shape("empty", SQLT_LBI), P(16384, 1));
  // Combinations the rule does not know have no buffer.
  EXPECT_EQ(shape("r", SQLT_INT), P(0, 0));
  EXPECT_EQ(shape("s", SQLT_LNG), P(0, 0));
  EXPECT_EQ(shape("d", SQLT_STR), P(0, 0));
  EXPECT_EQ(shape("nosuch", SQLT_STR), P(0, 0));
}

TEST_F(BufferRuleTest, ArraysGiveARowAnElementOrOneRowForOneElement) {
  host.set_long_array("la", std::vector<int32_t>(51, 1));  // elements 0..50: n = 50
  host.set_real_array("ra", {0, 1, 2});
  host.set_date_array("da", {{1, 1, 2000}, {2, 2, 2001}});
  host.set_text_array("ta", {"", "a", "b"});
  host.set_string_array("sa", {"", "a"}, 20);
  host.set_long_array("none", {});
  using P = std::pair<int32_t, int32_t>;
  EXPECT_EQ(shape("la", SQLT_INT), P(4, 50));
  EXPECT_EQ(shape("la", SQLT_ODT), P(8, 50));
  EXPECT_EQ(shape("la", SQLT_INT, 7), P(4, 1));
  EXPECT_EQ(shape("ra", SQLT_FLT), P(8, 2));
  EXPECT_EQ(shape("da", SQLT_ODT), P(8, 1));
  EXPECT_EQ(shape("ta", SQLT_STR), P(4002, 2));
  EXPECT_EQ(shape("ta", SQLT_LNG), P(32002, 2));
  EXPECT_EQ(shape("sa", SQLT_STR), P(22, 1));
  EXPECT_EQ(shape("sa", SQLT_STR, 1), P(256, 1));
  ValueBuffer empty;
  EXPECT_EQ(rule("none", SQLT_INT, &empty), BufferRule::EmptyArray);
  ValueBuffer b;
  ASSERT_EQ(rule("la", SQLT_INT, &b), BufferRule::Made);
  ASSERT_GE(b.bytes.size, 200u);
  for (size_t i = 0; i < 200; ++i) ASSERT_EQ(b.bytes.get()[i], 0) << i;
}

TEST_F(BufferRuleTest, ALocatorBindIsOneCellHoldingTheLocator) {
  host.set_long("loc", 0x12345678);
  ValueBuffer b;
  ASSERT_EQ(rule("loc", SQLT_BLOB, &b), BufferRule::Made);
  EXPECT_EQ(b.element_size, -1);
  EXPECT_EQ(load<int32_t>(b.bytes.get()), 0x12345678);
  EXPECT_EQ(capped_value_size(b.element_size, SQLT_BLOB), -1);
}

TEST_F(BufferRuleTest, ValueSizesAboveFourThousandAreCutExceptForLongTypes) {
  EXPECT_EQ(capped_value_size(32000, SQLT_STR), 4000);
  EXPECT_EQ(capped_value_size(4002, SQLT_STR), 4000);
  EXPECT_EQ(capped_value_size(4000, SQLT_STR), 4000);
  EXPECT_EQ(capped_value_size(32001, SQLT_LNG), 32001);
  EXPECT_EQ(capped_value_size(70000, SQLT_LBI), 70000);
  EXPECT_EQ(capped_value_size(5000, SQLT_LVC), 5000);
  EXPECT_EQ(capped_value_size(256, SQLT_STR), 256);
}

TEST_F(BufferRuleTest, AHostArrayTooLargeForMemoryIsRefusedBeforeAnyAllocation) {
  // A host record claiming 2^31 - 1 text elements: 4002 bytes each would
  // wrap a 32-bit size many times over.
  host.set_text_array("huge", {"", "x"});
  emu::Variable v = host.variable("huge");
  store(v.bytes + abi::kVarArrayCount, int32_t{0x7FFFFFFF});
  host.set_variable("huge", v);
  uint32_t before = memory_allocation_count();
  ValueBuffer b;
  EXPECT_EQ(rule("huge", SQLT_STR, &b), BufferRule::TooLarge);
  EXPECT_EQ(memory_allocation_count(), before);
  EXPECT_FALSE(b.bytes);
  // A size within the limit whose memory cannot be had is a failure too.
  host.set_long_array("la", {0, 1, 2});
  memory_fail_at(1);
  EXPECT_EQ(rule("la", SQLT_INT, &b), BufferRule::NoMemory);
}

TEST_F(BufferRuleTest, RecordsKeepReferencesAndReleaseEverythingTheyOwn) {
  host.set_long("value", 1);
  host.set_long_array("ind", {0, -1});
  auto value_ref = host.reference_bytes("value", -1);
  auto ind_ref = host.reference_bytes("ind", -1);
  auto missing_ref = host.reference_bytes("undefined_here", -1);
  // A nil or undefined variable gives no reference.
  EXPECT_EQ(copy_variable_ref(nullptr), nullptr);
  EXPECT_EQ(copy_variable_ref(missing_ref.data()), nullptr);

  RegistryNode statement{};
  statement.last_fetch_status = 100;
  uint32_t before = memory_allocation_count();
  for (int i = 0; i < 2; ++i) {
    BindRecord parts;
    parts.value_variable = copy_variable_ref(value_ref.data());
    ASSERT_NE(parts.value_variable, nullptr);
    EXPECT_EQ(std::memcmp(parts.value_variable->bytes, value_ref.data(), abi::kReferenceSize), 0);
    parts.sides.indicator_variable = copy_variable_ref(ind_ref.data());
    ASSERT_TRUE(make_side_arrays(parts.sides, 2));
    EXPECT_EQ(parts.sides.lengths, nullptr);  // no length variable, no length array
    parts.value_buffer = static_cast<uint8_t *>(plugin_alloc(8));
    parts.element_size = 4;
    parts.row_count = 2;
    ASSERT_NE(add_bind_record(statement, parts), nullptr);
  }
  // Newest first; a bind resets the last fetch status.
  ASSERT_NE(statement.binds, nullptr);
  ASSERT_NE(statement.binds->next, nullptr);
  EXPECT_EQ(statement.binds->bytes_remaining, 4u);
  EXPECT_EQ(statement.last_fetch_status, 0);
  EXPECT_GT(memory_allocation_count(), before);
  bind_list_free(statement.binds);
  statement.binds = nullptr;

  // No memory for the record itself: the caller keeps the parts to release.
  DefineRecord define_parts;
  define_parts.value_variable = copy_variable_ref(value_ref.data());
  memory_fail_at(1);
  EXPECT_EQ(add_define_record(statement, define_parts), nullptr);
  EXPECT_EQ(statement.defines, nullptr);
  release_define_parts(define_parts);
  EXPECT_EQ(define_parts.value_variable, nullptr);
}

// A record's parts with a buffer made by the rule, as the commands make them.
template <class Record>
Record made(std::vector<uint8_t> &ref, uint16_t dty, std::vector<uint8_t> *second = nullptr) {
  Record r;
  r.value_variable = copy_variable_ref(ref.data());
  if (second) r.second_value_variable = copy_variable_ref(second->data());
  ValueBuffer b;
  EXPECT_EQ(size_value_buffer(r.value_variable, dty, &b), BufferRule::Made);
  r.element_size = capped_value_size(b.element_size, dty);
  r.row_count = b.row_count;
  r.data_type = dty;
  r.buffer_size = static_cast<uint32_t>(b.bytes.size);
  r.value_buffer = b.bytes.data.release();
  return r;
}

TEST_F(BufferRuleTest, InputsBecomeOciFormsByTheVariablesTypeNow) {
  host.set_date("d", 15, 3, 2004);
  host.set_time("t", 52215);
  auto d = host.reference_bytes("d", -1);
  auto t = host.reference_bytes("t", -1);
  // A date alone: midnight. A time alone: 1 January 2000.
  BindRecord date = made<BindRecord>(d, SQLT_ODT);
  ASSERT_EQ(bind_value_from_host(date, date.value_variable, true), 0);
  const uint8_t expected_date[] = {0xD4, 0x07, 3, 15, 0, 0, 0};
  EXPECT_EQ(std::memcmp(date.value_buffer, expected_date, 7), 0);
  BindRecord time = made<BindRecord>(t, SQLT_ODT);
  ASSERT_EQ(bind_value_from_host(time, time.value_variable, true), 0);
  const uint8_t expected_time[] = {0xD0, 0x07, 1, 1, 14, 30, 15};
  EXPECT_EQ(std::memcmp(time.value_buffer, expected_time, 7), 0);
  Clock c = split_seconds(-3725);
  EXPECT_EQ(c.hours, -1);
  EXPECT_EQ(c.minutes, -2);
  EXPECT_EQ(c.seconds, -5);
  // Indicators from a long array, element i + 1 into entry i.
  host.set_long_array("ind", {9, 0, -1, 0});
  auto ind = host.reference_bytes("ind", -1);
  uint16_t entries[3] = {7, 7, 7};
  shorts_from_host(reinterpret_cast<const VariableReference *>(ind.data()), entries, 3);
  EXPECT_EQ(static_cast<int16_t>(entries[1]), -1);
  EXPECT_EQ(entries[0], 0);
  // The conversion follows the type the variable has now, inside the row.
  host.set_real("d", 2.5);
  ASSERT_EQ(bind_value_from_host(date, date.value_variable, true), 0);
  EXPECT_EQ(load<double>(date.value_buffer), 2.5);
  host.set_blob("d", "bytes");
  EXPECT_EQ(bind_value_from_host(date, date.value_variable, true), 0);
  host.set_boolean_array("d", {true});
  EXPECT_EQ(bind_value_from_host(date, date.value_variable, true), 2);  // no conversion for this type
  release_bind_parts(date);
  release_bind_parts(time);
}

TEST_F(BufferRuleTest, OutputsTakeEachRowIntoItsElement) {
  host.set_integer_array("small", {5, 5, 5});
  auto small = host.reference_bytes("small", -1);
  DefineRecord r = made<DefineRecord>(small, SQLT_INT);
  ASSERT_EQ(r.row_count, 2);
  store(r.value_buffer, int32_t{70000});
  store(r.value_buffer + 4, int32_t{-2});
  ASSERT_EQ(define_value_to_host(r, r.value_variable), 1);
  // The low 16 bits of each 4-byte row; element 0 untouched.
  EXPECT_EQ(host.get_integer_array("small"), (std::vector<int16_t>{5, 4464, -2}));
  release_define_parts(r);
  // A long defined on a DATE column receives its time of day.
  host.set_long("seconds", 0);
  auto seconds = host.reference_bytes("seconds", -1);
  DefineRecord s = made<DefineRecord>(seconds, SQLT_ODT);
  const uint8_t at[] = {0xD4, 0x07, 7, 1, 14, 30, 15, 0};
  std::memcpy(s.value_buffer, at, sizeof at);
  ASSERT_EQ(define_value_to_host(s, s.value_variable), 1);
  EXPECT_EQ(host.get_long("seconds"), 52215);
  // Lengths widen unsigned, indicators signed.
  host.set_long("length", 0);
  host.set_long("indicator", 0);
  auto length = host.reference_bytes("length", -1);
  auto indicator = host.reference_bytes("indicator", -1);
  const uint16_t big[] = {65535};
  unsigned_shorts_to_host(reinterpret_cast<const VariableReference *>(length.data()), big, 1);
  signed_shorts_to_host(reinterpret_cast<const VariableReference *>(indicator.data()),
                        reinterpret_cast<const int16_t *>(big), 1);
  EXPECT_EQ(host.get_long("length"), 65535);
  EXPECT_EQ(host.get_long("indicator"), -1);
  release_define_parts(s);
}

}  // namespace
}  // namespace zorvan
