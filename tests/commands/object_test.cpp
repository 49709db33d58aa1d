// Collections, iterators, nested tables, REFs, raw values and the object
// cache through ZorvanPack. The objects come from the embedded client's
// test-only constructors, since no command makes them; elements are
// OCINumbers the test lays out itself.
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "commands/sql_session.h"

namespace zorvan::test {
namespace {

using emu::blob_param;

// An OCINumber of 1 to 99: length 2, exponent byte, one base-100 digit.
OCINumber number(int value) {
  OCINumber n{};
  n.OCINumberPart[0] = 2;
  n.OCINumberPart[1] = 0xC1;
  n.OCINumberPart[2] = static_cast<ub1>(value + 1);
  return n;
}

int value_at(int32_t address) {
  auto *n = reinterpret_cast<const OCINumber *>(static_cast<uintptr_t>(static_cast<uint32_t>(address)));
  return n->OCINumberPart[2] - 1;
}

int32_t word(const void *pointer) { return static_cast<int32_t>(reinterpret_cast<uintptr_t>(pointer)); }

class Objects : public SqlSession {
 protected:
  void SetUp() override {
    SqlSession::SetUp();
    if (HasFatalFailure()) return;
    for (int v : {10, 20, 30, 40}) numbers.push_back(number(v));
    handler = host().add_method("OnOracleError");
    host().call(105, {string_param("OnOracleError")});
  }
  void TearDown() override {
    for (void *o : made) client.free_object(o);
    SqlSession::TearDown();
  }
  int32_t collection(int limit, std::vector<int> values) {
    void *c = client.new_collection(reinterpret_cast<void *>(static_cast<uintptr_t>(env)), limit);
    made.push_back(c);
    for (int v : values) {
      numbers.push_back(number(v));
      EXPECT_EQ(host().call(169, {long_param(env), long_param(err), long_param(word(&numbers.back())), long_param(0),
                                  long_param(word(c))})
                    .result,
                OCI_SUCCESS);
    }
    return word(c);
  }
  int32_t ref(const char *object_id) {
    void *r = client.new_ref(reinterpret_cast<void *>(static_cast<uintptr_t>(env)), object_id);
    made.push_back(r);
    return word(r);
  }
  emu::CallResult call(int32_t selector, std::vector<emu::Param> params) {
    params.insert(params.begin(), {long_param(env), long_param(err)});
    return host().call(selector, params);
  }
  // The element's value after 166 at `index`, -1 when it does not exist.
  int element(int32_t c, int32_t index) {
    auto r = call(166, {long_param(c), long_param(index), long_param(-5), long_param(0), long_param(0)});
    EXPECT_EQ(r.result, OCI_SUCCESS);
    return r.long_at(5) == 1 ? value_at(r.long_at(6)) : -1;
  }

  std::deque<OCINumber> numbers;  // stable addresses
  std::vector<void *> made;
  int32_t handler = 0;
};

TEST_F(Objects, VarraysAppendAssignGetTrimAndKeepTheirLimit) {
  int32_t v = collection(3, {10, 20, 30});
  EXPECT_EQ(host().call(165, {long_param(env), long_param(v)}).result, 3);
  EXPECT_EQ(call(164, {long_param(v), long_param(-5)}).long_at(4), 3);
  EXPECT_EQ(element(v, 1), 20);
  EXPECT_EQ(element(v, 5), -1);
  // A full varray refuses: the status is the result, the handler hears nothing.
  EXPECT_EQ(call(169, {long_param(word(&numbers[0])), long_param(0), long_param(v)}).result, OCI_ERROR);
  EXPECT_NE(error_text().find("ORA-22165"), std::string::npos);
  EXPECT_TRUE(host().method_calls().empty());

  EXPECT_EQ(call(167, {long_param(0), long_param(word(&numbers[3])), long_param(0), long_param(v)}).result,
            OCI_SUCCESS);
  EXPECT_EQ(element(v, 0), 40);
  EXPECT_EQ(call(163, {long_param(1), long_param(v)}).result, OCI_SUCCESS);
  EXPECT_EQ(call(164, {long_param(v), long_param(-5)}).long_at(4), 2);
  auto refused = call(163, {long_param(5), long_param(v)});
  EXPECT_EQ(refused.result, OCI_ERROR);

  int32_t small = collection(1, {});
  EXPECT_EQ(call(168, {long_param(v), long_param(small)}).result, OCI_ERROR);  // too many for its limit
  int32_t table = collection(0, {});
  EXPECT_EQ(call(168, {long_param(v), long_param(table)}).result, OCI_SUCCESS);
  EXPECT_EQ(element(table, 1), 20);
  EXPECT_EQ(host().call(165, {long_param(env), long_param(table)}).result, 0);  // no bound
  EXPECT_TRUE(host().method_calls().empty());
}

TEST_F(Objects, IteratorsWalkBothWaysAndStopAtTheEnds) {
  int32_t v = collection(0, {10, 20, 30});
  auto created = call(154, {long_param(v), long_param(0)});
  ASSERT_EQ(created.result, OCI_SUCCESS);
  int32_t it = created.long_at(4);
  ASSERT_NE(it, 0);
  auto step = [&](int32_t selector) {
    auto r = call(selector, {long_param(it), long_param(0), long_param(0), long_param(-5)});
    EXPECT_EQ(r.result, OCI_SUCCESS);
    return std::make_pair(value_at(r.long_at(4)), r.long_at(6));
  };
  EXPECT_EQ(step(150), std::make_pair(10, 0));
  EXPECT_EQ(step(150), std::make_pair(20, 0));
  EXPECT_EQ(step(150), std::make_pair(30, 0));
  EXPECT_EQ(step(150), std::make_pair(30, 1));  // at the end it stays
  EXPECT_EQ(step(149), std::make_pair(20, 0));
  EXPECT_EQ(step(149), std::make_pair(10, 0));
  EXPECT_EQ(step(149).second, 1);
  auto current = call(152, {long_param(it), long_param(0), long_param(0)});
  EXPECT_EQ(value_at(current.long_at(4)), 10);
  // Init starts again before the first element.
  EXPECT_EQ(call(151, {long_param(v), long_param(it)}).result, OCI_SUCCESS);
  EXPECT_EQ(step(150), std::make_pair(10, 0));
  auto deleted = call(153, {long_param(it)});
  EXPECT_EQ(deleted.result, OCI_SUCCESS);
  EXPECT_EQ(deleted.long_at(3), 0);
}

TEST_F(Objects, NestedTablesNavigateAcrossHoles) {
  int32_t t = collection(0, {10, 20, 30, 40});
  EXPECT_EQ(call(111, {long_param(1), long_param(t)}).result, OCI_SUCCESS);
  EXPECT_EQ(call(164, {long_param(t), long_param(-5)}).long_at(4), 4);  // holes still count
  EXPECT_EQ(call(170, {long_param(t), long_param(-5)}).long_at(4), 3);
  EXPECT_EQ(call(110, {long_param(t), long_param(1), long_param(-5)}).long_at(5), 0);
  EXPECT_EQ(call(110, {long_param(t), long_param(2), long_param(-5)}).long_at(5), 1);
  EXPECT_EQ(call(109, {long_param(t), long_param(-5)}).long_at(4), 0);
  EXPECT_EQ(call(108, {long_param(t), long_param(-5)}).long_at(4), 3);
  auto next = call(107, {long_param(0), long_param(t), long_param(-5), long_param(-5)});
  EXPECT_EQ(next.long_at(5), 2);
  EXPECT_EQ(next.long_at(6), 1);
  auto prev = call(106, {long_param(2), long_param(t), long_param(-5), long_param(-5)});
  EXPECT_EQ(prev.long_at(5), 0);
  EXPECT_EQ(call(107, {long_param(3), long_param(t), long_param(-5), long_param(-5)}).long_at(6), 0);
  EXPECT_EQ(element(t, 1), -1);
  EXPECT_EQ(call(111, {long_param(1), long_param(t)}).result, OCI_ERROR);
  EXPECT_NE(error_text().find("ORA-22162"), std::string::npos);
  // An iterator skips the hole.
  int32_t it = call(154, {long_param(t), long_param(0)}).long_at(4);
  call(150, {long_param(it), long_param(0), long_param(0), long_param(0)});
  auto second = call(150, {long_param(it), long_param(0), long_param(0), long_param(0)});
  EXPECT_EQ(value_at(second.long_at(4)), 30);
  call(153, {long_param(it)});
}

TEST_F(Objects, RefsGoToHexAndBack) {
  int32_t r = ref("order-0001");
  EXPECT_EQ(host().call(115, {long_param(env), long_param(r)}).result, 40);
  auto hex = call(112, {long_param(r), string_param("")});
  ASSERT_EQ(hex.result, OCI_SUCCESS);
  std::string text = hex.string_at(4);
  EXPECT_EQ(text.size(), 40u);
  auto back = call(116, {long_param(svc), string_param(text), long_param(0)});
  ASSERT_EQ(back.result, OCI_SUCCESS);
  int32_t copy = back.long_at(5);
  ASSERT_NE(copy, 0);
  made.push_back(reinterpret_cast<void *>(static_cast<uintptr_t>(static_cast<uint32_t>(copy))));
  EXPECT_EQ(host().call(114, {long_param(env), long_param(r), long_param(copy)}).result, 1);
  EXPECT_EQ(host().call(113, {long_param(env), long_param(r)}).result, 0);

  int32_t null_ref = ref(nullptr);
  EXPECT_EQ(host().call(113, {long_param(env), long_param(null_ref)}).result, 1);
  EXPECT_EQ(host().call(114, {long_param(env), long_param(null_ref), long_param(null_ref)}).result, 0);
  EXPECT_EQ(call(112, {long_param(null_ref), string_param("x")}).string_at(4), "");
  EXPECT_EQ(call(118, {long_param(null_ref), long_param(copy)}).long_at(4), copy);
  EXPECT_EQ(host().call(113, {long_param(env), long_param(copy)}).result, 1);
  // 117 clears and never writes a result.
  auto cleared = host().call(117, {long_param(env), long_param(r)});
  EXPECT_EQ(cleared.result, 0x5A5A5A5A);
  EXPECT_EQ(host().call(113, {long_param(env), long_param(r)}).result, 1);
  EXPECT_EQ(call(116, {long_param(svc), string_param("not hex"), long_param(0)}).result, OCI_ERROR);

  // OCI claiming more text than the hex size it gave: no more than that size
  // is read; claiming less: that much.
  int32_t again = ref("order-0002");
  std::string whole = call(112, {long_param(again), string_param("")}).string_at(4);
  client.script_out("OCIRefToHex", 4, 100000, 4);
  auto long_claim = call(112, {long_param(again), string_param("")});
  EXPECT_EQ(long_claim.result, OCI_SUCCESS);
  EXPECT_EQ(long_claim.string_at(4), whole);
  client.script_out("OCIRefToHex", 4, 6, 4);
  EXPECT_EQ(call(112, {long_param(again), string_param("")}).string_at(4), whole.substr(0, 6));
}

TEST_F(Objects, RawsResizeAssignAndComeBackAsBlobs) {
  // 70,000 reaches OCI as its low 16 bits: 4,464.
  auto resized = call(120, {long_param(70000), long_param(0)});
  ASSERT_EQ(resized.result, OCI_SUCCESS);
  int32_t raw = resized.long_at(4);
  ASSERT_NE(raw, 0);
  made.push_back(reinterpret_cast<void *>(static_cast<uintptr_t>(static_cast<uint32_t>(raw))));
  EXPECT_EQ(host().call(119, {long_param(env), long_param(raw)}).result, 4464);
  EXPECT_GE(call(124, {long_param(raw), long_param(0)}).long_at(4), 4464);

  std::string bytes("\x00\x01\xfe\xff", 4);
  auto assigned = call(123, {blob_param(bytes), long_param(raw)});
  EXPECT_EQ(assigned.result, OCI_SUCCESS);
  EXPECT_EQ(assigned.long_at(4), raw);
  auto blob = host().call(121, {long_param(env), long_param(raw)}, emu::ResultKind::Blob);
  EXPECT_EQ(host().handle_bytes(static_cast<uint32_t>(blob.result)), bytes);

  auto copied = call(122, {long_param(raw), long_param(0)});
  ASSERT_EQ(copied.result, OCI_SUCCESS);
  int32_t copy = copied.long_at(4);
  made.push_back(reinterpret_cast<void *>(static_cast<uintptr_t>(static_cast<uint32_t>(copy))));
  EXPECT_EQ(host().call(119, {long_param(env), long_param(copy)}).result, 4);

  // An empty BLOB passes a count of 0.
  EXPECT_EQ(call(123, {blob_param(""), long_param(copy)}).result, OCI_SUCCESS);
  EXPECT_EQ(host().call(119, {long_param(env), long_param(copy)}).result, 0);

  // The host's BLOB shrinks between the two reads: OCI gets what the second gave.
  host().shrink_handles_after(1, 2);
  EXPECT_EQ(call(123, {blob_param("abcdef"), long_param(copy)}).result, OCI_SUCCESS);
  host().shrink_handles_after(0, 0);
  EXPECT_EQ(host().call(119, {long_param(env), long_param(copy)}).result, 2);
}

TEST_F(Objects, TheCacheCallsPassTheirOptions) {
  auto flushed = host().call(102, {long_param(env), long_param(err), long_param(svc), long_param(-5)});
  EXPECT_EQ(flushed.result, OCI_SUCCESS);
  EXPECT_EQ(flushed.long_at(4), 0);
  client.reset();
  client.record(1);
  for (int32_t option : {5, 0}) {
    auto refreshed = host().call(100, {long_param(env), long_param(err), long_param(svc), long_param(option),
                                       long_param(-5)});
    EXPECT_EQ(refreshed.result, OCI_SUCCESS);
    EXPECT_EQ(refreshed.long_at(5), 0);
  }
  char name[64];
  uint32_t args[8];
  ASSERT_EQ(client.call(0, name, sizeof name, args, 8), 7);
  EXPECT_STREQ(name, "OCICacheRefresh");
  EXPECT_EQ(args[3], 1u);
  ASSERT_EQ(client.call(1, name, sizeof name, args, 8), 7);
  EXPECT_EQ(args[3], 0u);
  for (int32_t selector : {98, 99, 101})
    EXPECT_EQ(host().call(selector, {long_param(env), long_param(err), long_param(svc)}).result, OCI_SUCCESS);
  EXPECT_EQ(host().call(98, {long_param(env), long_param(err), long_param(err)}).result, OCI_INVALID_HANDLE);
}

TEST_F(Objects, WrongHandlesAndNullObjectsNeverReachOci) {
  int32_t v = collection(0, {10});
  client.reset();
  client.record(1);
  // A null collection, table, iterator, REF or raw: refused like a wrong handle.
  EXPECT_EQ(call(169, {long_param(word(&numbers[0])), long_param(0), long_param(0)}).result, OCI_INVALID_HANDLE);
  EXPECT_EQ(call(170, {long_param(0), long_param(0)}).result, OCI_INVALID_HANDLE);
  EXPECT_EQ(call(150, {long_param(0), long_param(0), long_param(0), long_param(0)}).result, OCI_INVALID_HANDLE);
  EXPECT_EQ(call(112, {long_param(0), string_param("")}).result, OCI_INVALID_HANDLE);
  EXPECT_EQ(call(124, {long_param(0), long_param(0)}).result, OCI_INVALID_HANDLE);
  EXPECT_EQ(host().call(113, {long_param(env), long_param(0)}).result, OCI_INVALID_HANDLE);
  // A wrong error handle or environment.
  EXPECT_EQ(host().call(164, {long_param(env), long_param(env), long_param(v), long_param(0)}).result,
            OCI_INVALID_HANDLE);
  EXPECT_EQ(host().call(115, {long_param(err), long_param(ref("x"))}).result, OCI_INVALID_HANDLE);
  EXPECT_EQ(client.call_count(), 0);
  EXPECT_EQ(host().method_calls().size(), 8u);  // each refusal reached the handler

  // The silent commands do nothing at all: no result, no handler, no OCI.
  for (int32_t selector : {165, 119, 121, 117}) {
    EXPECT_EQ(host().call(selector, {long_param(err), long_param(v)}).result, 0x5A5A5A5A) << selector;
    EXPECT_EQ(host().call(selector, {long_param(env), long_param(0)}).result, 0x5A5A5A5A) << selector;
  }
  EXPECT_EQ(client.call_count(), 0);
  EXPECT_EQ(host().method_calls().size(), 8u);
}

}  // namespace
}  // namespace zorvan::test
