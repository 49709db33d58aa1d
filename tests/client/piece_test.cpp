// Values that move in pieces, as OCI drives them: data-at-execute binds,
// dynamic defines across piece boundaries, and LOB locators bound and
// defined.
#include "client/oci_fixture.h"

namespace zorvan::client_test {
namespace {

using Pieces = Oci;

// An input callback that hands each iteration's value out in pieces of a
// given size, recording the piece code OCI passed in on each call.
struct Source {
  std::vector<std::string> values;  // one per iteration; "<null>" for NULL
  size_t piece = 7000;
  sb4 answer = OCI_CONTINUE;
  std::vector<std::vector<int>> calls;  // per iteration, the piece codes on entry
  std::vector<size_t> offsets;
  sb2 null_indicator = -1;
};

sb4 __cdecl give_piece(void *context, OCIBind *, ub4 iter, ub4 index, void **buffer, ub4 *length, ub1 *piece,
                       void **indicator) {
  auto *s = static_cast<Source *>(context);
  if (index != 0 || iter >= s->values.size()) return OCI_ERROR;
  if (s->calls.size() <= iter) {
    s->calls.resize(iter + 1);
    s->offsets.resize(iter + 1);
  }
  s->calls[iter].push_back(*piece);
  const std::string &v = s->values[iter];
  if (v == "<null>") {
    *buffer = nullptr;
    *length = 0;
    *indicator = &s->null_indicator;
    *piece = OCI_ONE_PIECE;
    return s->answer;
  }
  size_t &at = s->offsets[iter];
  size_t n = std::min(s->piece, v.size() - at);
  *buffer = const_cast<char *>(v.data() + at);
  *length = static_cast<ub4>(n);
  *indicator = nullptr;
  at += n;
  // Leaving the piece code as it came means more follows.
  if (at == v.size()) *piece = OCI_LAST_PIECE;
  return s->answer;
}

// A define callback that offers the rooms it is given, in turn (the last
// repeating), and records what OCI stored.
struct Sink {
  std::vector<ub4> rooms = {32001};
  std::vector<std::string> values;  // per row
  std::vector<std::vector<int>> calls;
  std::vector<std::vector<ub4>> stored;
  std::vector<sb2> indicators;
  std::vector<char> buffer;
  ub4 length = 0;
  sb2 indicator = 0;
  sb4 answer = OCI_CONTINUE;
  ub4 first_row = 0;  // the row iter 0 of the current fetch is
  // The piece just handed out, collected on the next call or at the end.
  bool pending = false;
  ub4 pending_row = 0;
  void collect() {
    if (!pending) return;
    values[pending_row].append(buffer.data(), length);
    stored[pending_row].push_back(length);
    indicators[pending_row] = indicator;
    pending = false;
  }
};

sb4 __cdecl take_piece(void *context, OCIDefine *, ub4 iter, void **buffer, ub4 **length, ub1 *piece,
                       void **indicator, ub2 **rcode) {
  auto *s = static_cast<Sink *>(context);
  s->collect();
  iter += s->first_row;
  if (s->values.size() <= iter) {
    s->values.resize(iter + 1);
    s->calls.resize(iter + 1);
    s->stored.resize(iter + 1);
    s->indicators.resize(iter + 1);
  }
  size_t call = s->calls[iter].size();
  s->calls[iter].push_back(*piece);
  ub4 room = s->rooms[std::min(call, s->rooms.size() - 1)];
  s->buffer.assign(room, '\0');
  s->length = room;
  *buffer = s->buffer.data();
  *length = &s->length;
  *indicator = &s->indicator;
  *rcode = nullptr;
  s->pending = true;
  s->pending_row = iter;
  return s->answer;
}

std::string pattern(size_t n, char first) {
  std::string s(n, ' ');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(first + i % 26);
  return s;
}

class PieceTable : public Oci {
 protected:
  // Inserts the values through a data-at-execute bind, one iteration each.
  sword insert(Source &source, const char *table = "t") {
    OCIStmt *st = prepare(std::string("INSERT INTO ") + table + " VALUES (:id, :l)");
    std::vector<int32_t> ids(source.values.size());
    for (size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<int32_t>(i + 1);
    OCIBind *id = nullptr;
    OCIBind *l = nullptr;
    OCIBindByName(st, &id, err, reinterpret_cast<const OraText *>(":id"), 3, ids.data(), sizeof(int32_t), SQLT_INT,
                  nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    EXPECT_EQ(OCIBindByName(st, &l, err, reinterpret_cast<const OraText *>(":l"), 2, nullptr, 1 << 30,
                            std::string(table) == "r" ? SQLT_LBI : SQLT_LNG, nullptr, nullptr, nullptr, 0, nullptr,
                            OCI_DATA_AT_EXEC),
              OCI_SUCCESS);
    EXPECT_EQ(OCIBindDynamic(l, err, &source, give_piece, nullptr, nullptr), OCI_SUCCESS);
    sword status = OCIStmtExecute(svc, st, err, static_cast<ub4>(ids.size()), 0, nullptr, nullptr, OCI_DEFAULT);
    free(st);
    return status;
  }
  // Reads column l of every row, ordered by id, through a dynamic define.
  sword read(Sink &sink, const char *table = "t") {
    OCIStmt *st = prepare(std::string("SELECT l FROM ") + table + " ORDER BY id");
    OCIDefine *d = nullptr;
    EXPECT_EQ(OCIDefineByPos(st, &d, err, 1, nullptr, 1 << 30, std::string(table) == "r" ? SQLT_LBI : SQLT_LNG,
                             nullptr, nullptr, nullptr, OCI_DYNAMIC_FETCH),
              OCI_SUCCESS);
    EXPECT_EQ(OCIDefineDynamic(d, err, &sink, take_piece), OCI_SUCCESS);
    sword status = OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    while (status == OCI_SUCCESS) {
      sink.collect();
      ++sink.first_row;
      status = OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
    }
    sink.collect();
    free(st);
    return status;
  }
};

TEST_F(PieceTable, DataAtExecuteBindsArriveInPiecesForEveryIteration) {
  ok("CREATE TABLE t (id NUMBER, l LONG)");
  Source source;
  source.values = {pattern(20000, 'a'), "<null>", pattern(7000, 'A'), "short"};
  ASSERT_EQ(insert(source), OCI_SUCCESS) << error_text();
  // FIRST on the first call of each iteration, NEXT after.
  EXPECT_EQ(source.calls[0], (std::vector<int>{OCI_FIRST_PIECE, OCI_NEXT_PIECE, OCI_NEXT_PIECE}));
  EXPECT_EQ(source.calls[1], (std::vector<int>{OCI_FIRST_PIECE}));
  EXPECT_EQ(source.calls[2], (std::vector<int>{OCI_FIRST_PIECE}));
  EXPECT_EQ(rows("SELECT id, length(l) FROM t ORDER BY id"), "1|20000;2|<null>;3|7000;4|5");
  Sink sink;
  ASSERT_EQ(read(sink), OCI_NO_DATA) << error_text();
  ASSERT_EQ(sink.values.size(), 4u);
  EXPECT_TRUE(sink.values[0] == source.values[0]) << sink.values[0].size();
  EXPECT_EQ(sink.indicators[1], -1);
  EXPECT_TRUE(sink.values[2] == source.values[2]) << sink.values[2].size();
  EXPECT_EQ(sink.values[3], "short");
}

TEST_F(PieceTable, DynamicDefinesFollowTheRoomOfferedAndStoreEachLength) {
  ok("CREATE TABLE t (id NUMBER, l LONG)");
  Source source;
  source.values = {pattern(100000, 'a'), pattern(64002, 'b'), pattern(1500, 'c')};
  source.piece = 30000;
  ASSERT_EQ(insert(source), OCI_SUCCESS) << error_text();
  Sink sink;
  sink.rooms = {32001, 32001, 64002};
  ASSERT_EQ(read(sink), OCI_NO_DATA) << error_text();
  // A piece shorter than its room is the last.
  EXPECT_EQ(sink.calls[0], (std::vector<int>{OCI_FIRST_PIECE, OCI_NEXT_PIECE, OCI_NEXT_PIECE}));
  EXPECT_EQ(sink.stored[0], (std::vector<ub4>{32001, 32001, 35998}));
  EXPECT_TRUE(sink.values[0] == source.values[0]) << sink.values[0].size();
  // Ending exactly where the room ends takes one more call, which stores 0.
  EXPECT_EQ(sink.stored[1], (std::vector<ub4>{32001, 32001, 0}));
  EXPECT_TRUE(sink.values[1] == source.values[1]) << sink.values[1].size();
  // A value that fits may come whole.
  EXPECT_EQ(sink.calls[2], (std::vector<int>{OCI_ONE_PIECE}));
  EXPECT_TRUE(sink.values[2] == source.values[2]) << sink.values[2].size();
}

TEST_F(PieceTable, LongRawMovesInPiecesByteForByte) {
  ok("CREATE TABLE r (id NUMBER, l LONG RAW)");
  std::string bytes(5000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 % 256);
  Source source;
  source.values = {bytes};
  source.piece = 1024;
  ASSERT_EQ(insert(source, "r"), OCI_SUCCESS) << error_text();
  Sink sink;
  sink.rooms = {999};
  ASSERT_EQ(read(sink, "r"), OCI_NO_DATA) << error_text();
  EXPECT_TRUE(sink.values[0] == bytes) << sink.values[0].size();
  EXPECT_EQ(sink.calls[0].size(), 6u);
}

TEST_F(PieceTable, ACallbackThatDoesNotContinueFailsTheCall) {
  ok("CREATE TABLE t (id NUMBER, l LONG)");
  Source source;
  source.values = {"abc"};
  source.answer = OCI_ERROR;
  EXPECT_EQ(insert(source), OCI_ERROR);
  EXPECT_EQ(error_code(), 24343);
  EXPECT_EQ(one("SELECT count(*) FROM t"), "0");
  source = Source{};
  source.values = {"abc"};
  ASSERT_EQ(insert(source), OCI_SUCCESS);
  Sink sink;
  sink.answer = OCI_ERROR;
  EXPECT_EQ(read(sink), OCI_ERROR);
  EXPECT_EQ(error_code(), 24343);
}

TEST_F(Pieces, LobLocatorsAreDefinedAndBoundAsTheValueTheyPointAt) {
  ok("CREATE TABLE a (id NUMBER, c CLOB, b BLOB)");
  ok("CREATE TABLE z (id NUMBER, c CLOB, b BLOB)");
  ok("INSERT INTO a VALUES (1, TO_CLOB('hello, world'), HEXTORAW('00FF10'))");
  OCILobLocator *c = nullptr;
  OCILobLocator *b = nullptr;
  ASSERT_EQ(OCIDescriptorAlloc(env, reinterpret_cast<void **>(&c), OCI_DTYPE_LOB, 0, nullptr), OCI_SUCCESS);
  ASSERT_EQ(OCIDescriptorAlloc(env, reinterpret_cast<void **>(&b), OCI_DTYPE_LOB, 0, nullptr), OCI_SUCCESS);
  OCIStmt *st = prepare("SELECT c, b FROM a");
  OCIDefine *dc = nullptr;
  OCIDefine *db = nullptr;
  ASSERT_EQ(OCIDefineByPos(st, &dc, err, 1, &c, -1, SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
  ASSERT_EQ(OCIDefineByPos(st, &db, err, 2, &b, -1, SQLT_BLOB, nullptr, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << error_text();
  free(st);
  st = prepare("INSERT INTO z VALUES (2, :c, :b)");
  OCIBind *bc = nullptr;
  OCIBind *bb = nullptr;
  ASSERT_EQ(OCIBindByPos(st, &bc, err, 1, &c, -1, SQLT_CLOB, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(OCIBindByPos(st, &bb, err, 2, &b, -1, SQLT_BLOB, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << error_text();
  free(st);
  // The new row holds a copy: it outlives the row it came from.
  ok("DELETE FROM a");
  EXPECT_EQ(rows("SELECT c, RAWTOHEX(b) FROM z"), "hello, world|00FF10");
  // A locator of the other kind is refused.
  st = prepare("INSERT INTO z (c) VALUES (:c)");
  ASSERT_EQ(OCIBindByPos(st, &bc, err, 1, &b, -1, SQLT_CLOB, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  EXPECT_EQ(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(error_code(), 932);
  free(st);
  OCIDescriptorFree(c, OCI_DTYPE_LOB);
  OCIDescriptorFree(b, OCI_DTYPE_LOB);
}

}  // namespace
}  // namespace zorvan::client_test
