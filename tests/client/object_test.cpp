// Collections, iterators, nested tables, REFs and raws as an OCI program
// meets them, with Oracle's errors; the objects come from the client's
// test-only constructors.
#include "client/oci_fixture.h"
#include "zec_control.h"

namespace zorvan::client_test {
namespace {

class Objects : public Oci {
 protected:
  void TearDown() override {
    for (void *o : made) zectest_free(o);
    Oci::TearDown();
  }
  OCIColl *collection(int limit, std::initializer_list<int> values) {
    auto *c = static_cast<OCIColl *>(zectest_collection(env, limit));
    made.push_back(c);
    for (int v : values) {
      OCINumber n{};
      double real = v;
      EXPECT_EQ(OCINumberFromReal(err, &real, sizeof real, &n), OCI_SUCCESS);
      EXPECT_EQ(OCICollAppend(env, err, &n, nullptr, c), OCI_SUCCESS) << error_text();
    }
    return c;
  }
  int value(const void *element) {
    double v = 0;
    EXPECT_EQ(OCINumberToReal(err, static_cast<const OCINumber *>(element), sizeof v, &v), OCI_SUCCESS);
    return static_cast<int>(v);
  }
  std::vector<void *> made;
};

TEST_F(Objects, CollectionsKeepOraclesBoundsAndErrors) {
  OCIColl *v = collection(3, {10, 20, 30});
  EXPECT_EQ(OCICollMax(env, v), 3);
  OCINumber n{};
  EXPECT_EQ(OCICollAppend(env, err, &n, nullptr, v), OCI_ERROR);
  EXPECT_EQ(error_text(), "ORA-22165: given index [3] must be in the range of [0] to [2]\n");
  EXPECT_EQ(OCICollAssignElem(env, err, 3, &n, nullptr, v), OCI_ERROR);
  EXPECT_EQ(error_code(), 22165);
  EXPECT_EQ(OCICollTrim(env, err, 4, v), OCI_ERROR);
  EXPECT_EQ(error_text(), "ORA-22167: given trim size [4] must be less than or equal to [3]\n");
  EXPECT_EQ(OCITableDelete(env, err, 0, v), OCI_ERROR);
  EXPECT_EQ(error_code(), 22164);
  OCIBoolean exists = 1;
  void *element = nullptr;
  EXPECT_EQ(OCICollGetElem(env, err, v, -1, &exists, &element, nullptr), OCI_SUCCESS);
  EXPECT_EQ(exists, 0);
  EXPECT_EQ(OCICollGetElem(env, err, v, 2, &exists, &element, nullptr), OCI_SUCCESS);
  EXPECT_EQ(value(element), 30);
  // A pointer that is no collection is an invalid argument, not a crash.
  sb4 size = 0;
  EXPECT_EQ(OCICollSize(env, err, reinterpret_cast<OCIColl *>(&n), &size), OCI_ERROR);
  EXPECT_EQ(error_code(), 21560);

  OCIColl *empty = collection(0, {});
  sb4 index = 0;
  EXPECT_EQ(OCITableFirst(env, err, empty, &index), OCI_ERROR);
  EXPECT_EQ(error_code(), 22166);
  EXPECT_EQ(OCICollMax(env, empty), 0);
}

TEST_F(Objects, IteratorsFollowTheTestVector) {
  OCIColl *v = collection(0, {10, 20, 30, 40});
  ASSERT_EQ(OCITableDelete(env, err, 1, v), OCI_SUCCESS);
  OCIIter *it = nullptr;
  ASSERT_EQ(OCIIterCreate(env, err, v, &it), OCI_SUCCESS);
  void *element = nullptr;
  OCIBoolean edge = 0;
  EXPECT_EQ(OCIIterPrev(env, err, it, &element, nullptr, &edge), OCI_SUCCESS);
  EXPECT_EQ(edge, 1);  // before the first element
  std::vector<int> seen;
  for (;;) {
    ASSERT_EQ(OCIIterNext(env, err, it, &element, nullptr, &edge), OCI_SUCCESS);
    if (edge) break;
    seen.push_back(value(element));
  }
  EXPECT_EQ(seen, (std::vector<int>{10, 30, 40}));
  EXPECT_EQ(value(element), 40);
  EXPECT_EQ(OCIIterDelete(env, err, &it), OCI_SUCCESS);
  EXPECT_EQ(it, nullptr);
  EXPECT_EQ(OCIIterDelete(env, err, &it), OCI_ERROR);
}

TEST_F(Objects, RefsAndRawsBehaveAsDocumented) {
  auto *a = static_cast<OCIRef *>(zectest_ref(env, "object-a"));
  auto *null_ref = static_cast<OCIRef *>(zectest_ref(env, nullptr));
  made.insert(made.end(), {a, null_ref});
  EXPECT_EQ(OCIRefIsEqual(env, null_ref, null_ref), 0);  // two null REFs are not equal
  EXPECT_EQ(OCIRefIsNull(env, null_ref), 1);
  OCIRef *b = nullptr;
  ASSERT_EQ(OCIRefAssign(env, err, a, &b), OCI_SUCCESS);
  made.push_back(b);
  EXPECT_EQ(OCIRefIsEqual(env, a, b), 1);
  char hex[64];
  ub4 length = 10;
  EXPECT_EQ(OCIRefToHex(env, err, a, reinterpret_cast<OraText *>(hex), &length), OCI_ERROR);  // too small
  length = sizeof hex;
  ASSERT_EQ(OCIRefToHex(env, err, a, reinterpret_cast<OraText *>(hex), &length), OCI_SUCCESS);
  EXPECT_EQ(length, OCIRefHexSize(env, a));
  OCIRefClear(env, b);
  EXPECT_EQ(OCIRefIsNull(env, b), 1);
  ASSERT_EQ(OCIRefFromHex(env, err, svc, reinterpret_cast<OraText *>(hex), length, &b), OCI_SUCCESS);
  EXPECT_EQ(OCIRefIsEqual(env, a, b), 1);

  OCIRaw *raw = nullptr;
  ASSERT_EQ(OCIRawResize(env, err, 13, &raw), OCI_SUCCESS);
  ub4 allocated = 0;
  EXPECT_EQ(OCIRawAllocSize(env, err, raw, &allocated), OCI_SUCCESS);
  EXPECT_EQ(OCIRawSize(env, raw), 13u);
  EXPECT_GE(allocated, 13u);
  const ub1 bytes[] = {1, 2, 3};
  ASSERT_EQ(OCIRawAssignBytes(env, err, bytes, 3, &raw), OCI_SUCCESS);
  EXPECT_EQ(OCIRawSize(env, raw), 3u);
  EXPECT_EQ(OCIRawPtr(env, raw)[2], 3);
  EXPECT_EQ(OCIRawResize(env, err, 0, &raw), OCI_SUCCESS);  // size 0 frees it
  EXPECT_EQ(raw, nullptr);
}

}  // namespace
}  // namespace zorvan::client_test
