// Large objects through their locators.
//
// A CLOB or BLOB locator names a value of the LOB store (a table row's
// column, read by a define or an output bind) or a temporary LOB of its
// session. Lengths, offsets and amounts are characters for CLOBs and bytes
// for BLOBs and BFILEs, offsets counting from 1; CLOB data crosses in the
// client character set. A row's LOB may be written through a locator read
// while the session's transaction is open (SELECT ... FOR UPDATE opens one)
// until that transaction ends: the embedded database locks as a whole, so
// that is its "row locked". A read that does not fit its buffer goes on in
// polling mode (OCI_NEED_DATA) or through the program's callback.
//
// A BFILE locator names a file under a directory alias (CREATE DIRECTORY
// name AS 'path'); files are read-only, opened per locator, at most
// kMaxOpenFiles at once on a service context.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "src/charset.h"
#include "src/errors.h"
#include "src/handles.h"
#include "src/sql/error.h"
#include "src/sql/lob_store.h"
#include "src/sql/session.h"
#include "src/sql/value.h"
#include "src/trace.h"

namespace zec {
namespace {

using sql::fail;

constexpr ub4 kChunkSize = 8132;          // usable units of a chunk, as with 8 KB blocks
constexpr int64_t kMaxUnits = 4294967295; // offsets and amounts are ub4 quantities
constexpr size_t kMaxOpenFiles = 10;      // SESSION_MAX_OPEN_FILES' default
constexpr ub2 kDatabaseCharsetId = 873;   // the database keeps AL32UTF8

template <class F>
sword guarded(const void *error, F body) noexcept {
  return guarded_call(error, "LOB", body);
}

struct Context {
  ServiceContext *service = nullptr;
  SessionHandle *session = nullptr;
  sql::Session *sql = nullptr;
};

// The service context and error handle checked, the errors cleared; false
// for a handle that is not what it should be.
bool handles_ok(OCISvcCtx *svchp, OCIError *errhp) noexcept {
  if (live_handle(svchp, OCI_HTYPE_SVCCTX) == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    return false;
  clear_errors(errhp);
  return true;
}

bool env_ok(OCIEnv *envhp, OCIError *errhp) noexcept {
  if (live_handle(envhp, OCI_HTYPE_ENV) == nullptr || live_handle(errhp, OCI_HTYPE_ERROR) == nullptr)
    return false;
  clear_errors(errhp);
  return true;
}

// The open session behind a service context: ORA-01012 without one.
Context context_of(OCISvcCtx *svchp) {
  Context c;
  c.service = live<ServiceContext>(svchp, OCI_HTYPE_SVCCTX);
  c.session = c.service ? live<SessionHandle>(c.service->session, OCI_HTYPE_SESSION) : nullptr;
  if (c.session == nullptr || !c.session->sql) fail(1012);
  c.sql = c.session->sql.get();
  return c;
}

LobLocator &any_locator(const void *locp) {
  Handle *h = live_handle(locp);
  if (h == nullptr || (h->type != OCI_DTYPE_LOB && h->type != OCI_DTYPE_FILE)) fail(22275);
  return *static_cast<LobLocator *>(h);
}

// An initialised CLOB or BLOB locator usable on this session.
LobLocator &internal(const void *locp, const Context &c) {
  auto *l = live<LobLocator>(locp, OCI_DTYPE_LOB);
  if (l == nullptr || !l->initialized) fail(22275);
  // A temporary LOB lives in its own session's connection.
  if (l->temporary && l->session != c.session) fail(22275);
  return *l;
}

LobLocator &bfile(const void *locp) {
  auto *l = live<LobLocator>(locp, OCI_DTYPE_FILE);
  if (l == nullptr || !l->initialized) fail(22275);
  return *l;
}

// A kept LOB is written inside the transaction that read it (so no write
// opens one); a temporary needs none.
void check_writable(const LobLocator &l, const Context &c) {
  if (l.temporary) return;
  if (l.session != c.session || !c.sql->in_transaction || l.locked_transaction != c.sql->transaction_number)
    fail(22920);  // row containing the LOB value is not locked
}

template <class T>
T &out(T *pointer, const char *argument) {
  if (pointer == nullptr) fail(21560, argument);
  return *pointer;
}

// ---- BFILE files ----------------------------------------------------------

std::filesystem::path file_path(const Context &c, const LobLocator &l, const char *operation) {
  const auto &directories = c.sql->schema().directories;
  auto it = directories.find(l.directory);
  if (it == directories.end()) fail(22285, operation);
  std::filesystem::path name(l.file);
  // A name stays inside its directory.
  for (const auto &part : name)
    if (part == "..") fail(22285, operation);
  if (name.is_absolute() || name.has_root_name()) fail(22285, operation);
  return std::filesystem::path(it->second) / name;
}

bool is_file(const std::filesystem::path &path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

int64_t file_length(const std::filesystem::path &path) {
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  if (ec) fail(22288, "GETLENGTH\x1f" + ec.message());
  return static_cast<int64_t>(size);
}

std::string file_bytes(const std::filesystem::path &path, int64_t offset, int64_t amount) {
  std::ifstream in(path, std::ios::binary);
  if (!in) fail(22288, "FILEREAD\x1f" "cannot open the file");
  std::string bytes(static_cast<size_t>(amount), '\0');
  in.seekg(static_cast<std::streamoff>(offset - 1));
  in.read(bytes.data(), static_cast<std::streamsize>(amount));
  bytes.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return bytes;
}

void close_file(LobLocator &l) {
  if (auto *service = live<ServiceContext>(l.opened_on, OCI_HTYPE_SVCCTX)) service->open_files.erase(&l);
  l.file_open = false;
  l.opened_on = nullptr;
}

// ---- Reading --------------------------------------------------------------

// What a read takes its units from.
struct Source {
  bool character = false;
  int64_t length = 0;  // units
  const Context *c = nullptr;
  const LobLocator *l = nullptr;
  std::filesystem::path file;  // BFILEs
  Charset charset = Charset::WE8MSWIN1252;

  // `units` from `offset`, as the client receives them.
  std::string read(int64_t offset, int64_t units) const {
    if (l->type == OCI_DTYPE_FILE) return file_bytes(file, offset, units);
    std::string data = sql::lob_read(c->sql->db, l->lob_id, offset, units);
    return character ? to_client(charset, data) : data;
  }
};

// Units that fit in `room` bytes from the front of a client text, cut at a
// character's start; `bytes` gets their byte count.
int64_t fitting_units(const Source &source, std::string &piece, ub4 room) {
  if (piece.size() <= room) return source.character ? static_cast<int64_t>(client_length(source.charset, piece))
                                                    : static_cast<int64_t>(piece.size());
  size_t cut = room;
  if (source.character && charset_multibyte(source.charset))
    while (cut > 0 && (static_cast<unsigned char>(piece[cut]) & 0xC0) == 0x80) --cut;
  piece.resize(cut);
  return source.character ? static_cast<int64_t>(client_length(source.charset, piece)) : static_cast<int64_t>(cut);
}

// The next piece of a read: at most `room` bytes of the units left.
std::string next_piece(const Source &source, LobLocator &l, ub4 room) {
  int64_t units = std::min<int64_t>(l.stream_left, room);
  std::string piece = source.read(l.stream_next, units);
  int64_t taken = fitting_units(source, piece, room);
  if (taken == 0 && units > 0) fail(24801);  // the buffer holds not one character
  l.stream_next += taken;
  l.stream_left -= taken;
  return piece;
}

sword read_lob(const Context &c, LobLocator &l, ub4 *amtp, ub4 offset, void *bufp, ub4 bufl, void *ctxp,
               OCICallbackLobRead cbfp) {
  ub4 &amount = out(amtp, "4");
  if (bufp == nullptr) fail(21560, "6");
  Source source;
  source.c = &c;
  source.l = &l;
  source.charset = charset_of(c.service);
  if (l.type == OCI_DTYPE_FILE) {
    if (!l.file_open) fail(22289, "FILEREAD");
    source.file = file_path(c, l, "FILEREAD");
    source.length = file_length(source.file);
  } else {
    sql::LobHead head = sql::lob_head(c.sql->db, l.lob_id);
    source.character = head.character;
    source.length = head.length;
  }
  if (!l.streaming || cbfp != nullptr) {
    // A new read: from `offset`, the amount asked for or (0) all the rest.
    if (offset == 0) fail(24801);
    l.streaming = false;
    if (offset > source.length) {
      amount = 0;
      return source.length == 0 && offset == 1 ? OCI_SUCCESS : OCI_NO_DATA;
    }
    int64_t rest = source.length - offset + 1;
    l.stream_next = offset;
    l.stream_left = amount == 0 ? rest : std::min<int64_t>(amount, rest);
  }
  if (cbfp != nullptr) {
    // Every piece goes to the callback through the program's buffer.
    bool first = true;
    ub4 total = 0;
    do {
      std::string piece = next_piece(source, l, bufl);
      std::memcpy(bufp, piece.data(), piece.size());
      total += static_cast<ub4>(piece.size());
      bool last = l.stream_left == 0;
      ub1 kind = first ? (last ? OCI_ONE_PIECE : OCI_FIRST_PIECE) : (last ? OCI_LAST_PIECE : OCI_NEXT_PIECE);
      first = false;
      if (cbfp(ctxp, bufp, static_cast<ub4>(piece.size()), kind) != OCI_CONTINUE) {
        amount = total;
        fail(24343);  // user defined callback error
      }
    } while (l.stream_left > 0);
    amount = total;
    return OCI_SUCCESS;
  }
  std::string piece = next_piece(source, l, bufl);
  std::memcpy(bufp, piece.data(), piece.size());
  amount = static_cast<ub4>(piece.size());
  l.streaming = l.stream_left > 0;
  return l.streaming ? OCI_NEED_DATA : OCI_SUCCESS;
}

// ---- Writing --------------------------------------------------------------

// The units of a program's buffer to write: at most `amount` of them.
std::string units_to_write(const Context &c, const LobLocator &l, const void *bufp, ub4 bufl, ub4 amount,
                           int64_t *units) {
  if (bufp == nullptr && bufl > 0) fail(21560, "6");
  std::string_view given(static_cast<const char *>(bufp ? bufp : ""), bufl);
  if (!l.character) {
    std::string bytes(given.substr(0, std::min<size_t>(amount, given.size())));
    *units = static_cast<int64_t>(bytes.size());
    return bytes;
  }
  std::string text = to_database(charset_of(c.service), given);
  size_t characters = sql::utf8_length(text);
  if (amount < characters) {
    text.resize(sql::utf8_offset(text, amount));
    characters = amount;
  }
  *units = static_cast<int64_t>(characters);
  return text;
}

void check_size(int64_t offset, int64_t units) {
  if (offset - 1 + units > kMaxUnits) fail(22925);  // beyond the largest LOB
}

sword write_lob(const Context &c, LobLocator &l, ub4 *amtp, int64_t offset, const void *bufp, ub4 bufl, ub1 piece,
                bool append) {
  ub4 &amount = out(amtp, "4");
  check_writable(l, c);
  sql::LobHead head = sql::lob_head(c.sql->db, l.lob_id);
  bool streaming = piece == OCI_NEXT_PIECE || piece == OCI_LAST_PIECE;
  if (streaming) {
    if (!l.streaming) fail(24801);
    offset = l.stream_next;
  } else if (piece != OCI_ONE_PIECE && piece != OCI_FIRST_PIECE) {
    fail(24801);
  } else if (append) {
    offset = head.length + 1;
  }
  if (offset < 1) fail(24801);
  // In pieces, every piece is written whole; one piece writes `amount` units.
  if (amount == 0 && piece == OCI_ONE_PIECE) fail(24801);
  int64_t units = 0;
  std::string data = units_to_write(c, l, bufp, bufl, piece == OCI_ONE_PIECE ? amount : 0xFFFFFFFFu, &units);
  check_size(offset, units);
  sql::lob_write(c.sql->db, l.lob_id, offset, data);
  amount = static_cast<ub4>(units);
  l.stream_next = offset + units;
  l.streaming = piece == OCI_FIRST_PIECE || piece == OCI_NEXT_PIECE;
  return l.streaming ? OCI_NEED_DATA : OCI_SUCCESS;
}

}  // namespace
}  // namespace zec

using namespace zec;

extern "C" {

ZEC_EXPORT sword __cdecl OCILobGetLength(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *lenp) {
  ZEC_ENTER("OCILobGetLength", svchp, errhp, locp, lenp);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobGetLength", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobGetLength", guarded(errhp, [&] {
    Context c = context_of(svchp);
    ub4 &length = out(lenp, "4");
    LobLocator &any = any_locator(locp);
    if (any.type == OCI_DTYPE_FILE) {
      LobLocator &file = bfile(locp);
      std::filesystem::path path = file_path(c, file, "GETLENGTH");
      if (!is_file(path)) fail(22288, "GETLENGTH\x1f" "No such file or directory");
      length = static_cast<ub4>(std::min<int64_t>(file_length(path), kMaxUnits));
      return OCI_SUCCESS;
    }
    length = static_cast<ub4>(sql::lob_head(c.sql->db, internal(locp, c).lob_id).length);
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobGetChunkSize(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *chunksizep) {
  ZEC_ENTER("OCILobGetChunkSize", svchp, errhp, locp, chunksizep);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobGetChunkSize", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobGetChunkSize", guarded(errhp, [&] {
    Context c = context_of(svchp);
    ub4 &size = out(chunksizep, "4");
    internal(locp, c);
    size = kChunkSize;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobRead(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amtp, ub4 offset,
                                    void *bufp, ub4 bufl, void *ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm) {
  ZEC_ENTER("OCILobRead", svchp, errhp, locp, amtp, offset, bufp, bufl, ctxp, cbfp, csid, csfrm);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobRead", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobRead", guarded(errhp, [&] {
    Context c = context_of(svchp);
    LobLocator &l = any_locator(locp).type == OCI_DTYPE_FILE ? bfile(locp) : internal(locp, c);
    try {
      return read_lob(c, l, amtp, offset, bufp, bufl, ctxp, cbfp);
    } catch (...) {
      l.streaming = false;  // a failed read ends its polling
      throw;
    }
  }));
}

ZEC_EXPORT sword __cdecl OCILobWrite(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amtp, ub4 offset,
                                     void *bufp, ub4 buflen, ub1 piece, void *ctxp, OCICallbackLobWrite cbfp, ub2 csid,
                                     ub1 csfrm) {
  ZEC_ENTER("OCILobWrite", svchp, errhp, locp, amtp, offset, bufp, buflen, piece, ctxp, cbfp, csid, csfrm);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobWrite", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobWrite", guarded(errhp, [&] {
    Context c = context_of(svchp);
    return write_lob(c, internal(locp, c), amtp, offset, bufp, buflen, piece, false);
  }));
}

ZEC_EXPORT sword __cdecl OCILobWriteAppend(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *lobp, ub4 *amtp,
                                           void *bufp, ub4 bufl, ub1 piece, void *ctxp, OCICallbackLobWrite cbfp,
                                           ub2 csid, ub1 csfrm) {
  ZEC_ENTER("OCILobWriteAppend", svchp, errhp, lobp, amtp, bufp, bufl, piece, ctxp, cbfp, csid, csfrm);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobWriteAppend", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobWriteAppend", guarded(errhp, [&] {
    Context c = context_of(svchp);
    return write_lob(c, internal(lobp, c), amtp, 0, bufp, bufl, piece, true);
  }));
}

ZEC_EXPORT sword __cdecl OCILobTrim(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 newlen) {
  ZEC_ENTER("OCILobTrim", svchp, errhp, locp, newlen);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobTrim", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobTrim", guarded(errhp, [&] {
    Context c = context_of(svchp);
    LobLocator &l = internal(locp, c);
    check_writable(l, c);
    sql::lob_trim(c.sql->db, l.lob_id, newlen);
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobErase(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amount, ub4 offset) {
  ZEC_ENTER("OCILobErase", svchp, errhp, locp, amount, offset);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobErase", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobErase", guarded(errhp, [&] {
    Context c = context_of(svchp);
    ub4 &erase = out(amount, "4");
    LobLocator &l = internal(locp, c);
    check_writable(l, c);
    if (offset == 0) fail(24801);
    erase = static_cast<ub4>(sql::lob_erase(c.sql->db, l.lob_id, offset, erase));
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobCopy(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *dst_locp, OCILobLocator *src_locp,
                                    ub4 amount, ub4 dst_offset, ub4 src_offset) {
  ZEC_ENTER("OCILobCopy", svchp, errhp, dst_locp, src_locp, amount, dst_offset, src_offset);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobCopy", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobCopy", guarded(errhp, [&] {
    Context c = context_of(svchp);
    LobLocator &dst = internal(dst_locp, c);
    LobLocator &src = internal(src_locp, c);
    if (dst.character != src.character) fail(24805);
    check_writable(dst, c);
    if (dst_offset == 0 || src_offset == 0) fail(24801);
    std::string data = sql::lob_read(c.sql->db, src.lob_id, src_offset, amount);
    int64_t units = static_cast<int64_t>(src.character ? sql::utf8_length(data) : data.size());
    check_size(dst_offset, units);
    if (units > 0) sql::lob_write(c.sql->db, dst.lob_id, dst_offset, data);
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobAppend(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *dst_locp, OCILobLocator *src_locp) {
  ZEC_ENTER("OCILobAppend", svchp, errhp, dst_locp, src_locp);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobAppend", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobAppend", guarded(errhp, [&] {
    Context c = context_of(svchp);
    LobLocator &dst = internal(dst_locp, c);
    LobLocator &src = internal(src_locp, c);
    if (dst.character != src.character) fail(24805);
    check_writable(dst, c);
    sql::LobHead dst_head = sql::lob_head(c.sql->db, dst.lob_id);
    sql::LobHead src_head = sql::lob_head(c.sql->db, src.lob_id);
    check_size(dst_head.length + 1, src_head.length);
    if (src_head.length == 0) return OCI_SUCCESS;
    std::string data = sql::lob_read_all(c.sql->db, src.lob_id);
    sql::lob_write(c.sql->db, dst.lob_id, dst_head.length + 1, data);
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobLoadFromFile(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *dst_locp,
                                            OCILobLocator *src_filep, ub4 amount, ub4 dst_offset, ub4 src_offset) {
  ZEC_ENTER("OCILobLoadFromFile", svchp, errhp, dst_locp, src_filep, amount, dst_offset, src_offset);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobLoadFromFile", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobLoadFromFile", guarded(errhp, [&] {
    Context c = context_of(svchp);
    LobLocator &dst = internal(dst_locp, c);
    LobLocator &file = bfile(src_filep);
    check_writable(dst, c);
    if (!file.file_open) fail(22289, "FILEREAD");
    if (dst_offset == 0) fail(21560, "6");
    if (src_offset == 0) fail(21560, "7");
    std::filesystem::path path = file_path(c, file, "FILEREAD");
    int64_t length = file_length(path);
    // The amount must lie within the file (bytes, as for every target).
    if (amount == 0 || static_cast<int64_t>(src_offset) - 1 + amount > length) fail(21560, "5");
    check_size(dst_offset, amount);
    std::string bytes = file_bytes(path, src_offset, amount);
    sql::lob_write(c.sql->db, dst.lob_id, dst_offset, bytes);
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobCreateTemporary(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub2 csid,
                                               ub1 csfrm, ub1 lobtype, OCIBoolean cache, OCIDuration duration) {
  ZEC_ENTER("OCILobCreateTemporary", svchp, errhp, locp, csid, csfrm, lobtype, cache, duration);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobCreateTemporary", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobCreateTemporary", guarded(errhp, [&] {
    Context c = context_of(svchp);
    auto *l = live<LobLocator>(locp, OCI_DTYPE_LOB);
    if (l == nullptr) fail(22275);
    if (lobtype != OCI_TEMP_BLOB && lobtype != OCI_TEMP_CLOB) fail(24801);
    if (duration == 0) fail(24801);
    bool character = lobtype == OCI_TEMP_CLOB;
    int64_t id = sql::lob_create(c.sql->db, character, std::string_view(), true);
    l->initialized = true;
    l->character = character;
    l->lob_id = id;
    l->session = c.session;
    l->temporary = true;
    l->locked_transaction = 0;
    l->streaming = false;
    // Form 0 for a CLOB reads as the implicit form.
    l->csform = character ? (csfrm == SQLCS_NCHAR ? SQLCS_NCHAR : SQLCS_IMPLICIT) : 0;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobFreeTemporary(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp) {
  ZEC_ENTER("OCILobFreeTemporary", svchp, errhp, locp);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobFreeTemporary", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobFreeTemporary", guarded(errhp, [&] {
    Context c = context_of(svchp);
    LobLocator &l = internal(locp, c);
    // Freeing a LOB that is not temporary changes nothing.
    if (!l.temporary) return OCI_SUCCESS;
    sql::lob_delete(c.sql->db, l.lob_id);
    l.initialized = false;
    l.temporary = false;
    l.lob_id = 0;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobIsTemporary(OCIEnv *envp, OCIError *errhp, OCILobLocator *locp, OCIBoolean *is_temporary) {
  ZEC_ENTER("OCILobIsTemporary", envp, errhp, locp, is_temporary);
  if (!env_ok(envp, errhp)) ZEC_RETURN("OCILobIsTemporary", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobIsTemporary", guarded(errhp, [&] {
    OCIBoolean &flag = out(is_temporary, "4");
    auto *l = live<LobLocator>(locp, OCI_DTYPE_LOB);
    if (l == nullptr) fail(22275);
    flag = l->initialized && l->temporary ? 1 : 0;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobLocatorIsInit(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp,
                                             OCIBoolean *is_initialized) {
  ZEC_ENTER("OCILobLocatorIsInit", envhp, errhp, locp, is_initialized);
  if (!env_ok(envhp, errhp)) ZEC_RETURN("OCILobLocatorIsInit", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobLocatorIsInit", guarded(errhp, [&] {
    OCIBoolean &flag = out(is_initialized, "4");
    flag = any_locator(locp).initialized ? 1 : 0;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobIsEqual(OCIEnv *envhp, const OCILobLocator *x, const OCILobLocator *y,
                                       OCIBoolean *is_equal) {
  ZEC_ENTER("OCILobIsEqual", envhp, x, y, is_equal);
  // No error handle: what is wrong can only be told as an invalid handle.
  auto *a = static_cast<LobLocator *>(live_handle(x));
  auto *b = static_cast<LobLocator *>(live_handle(y));
  auto is_locator = [](const Handle *h) { return h && (h->type == OCI_DTYPE_LOB || h->type == OCI_DTYPE_FILE); };
  if (live_handle(envhp, OCI_HTYPE_ENV) == nullptr || !is_locator(a) || !is_locator(b) || is_equal == nullptr)
    ZEC_RETURN("OCILobIsEqual", OCI_INVALID_HANDLE);
  bool equal = a->initialized && b->initialized && a->type == b->type;
  if (equal && a->type == OCI_DTYPE_FILE) equal = a->directory == b->directory && a->file == b->file;
  else if (equal) equal = a->lob_id == b->lob_id && (!a->temporary || a->session == b->session);
  *is_equal = equal ? 1 : 0;
  ZEC_RETURN("OCILobIsEqual", OCI_SUCCESS);
}

ZEC_EXPORT sword __cdecl OCILobAssign(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *src_locp,
                                      OCILobLocator **dst_locpp) {
  ZEC_ENTER("OCILobAssign", envhp, errhp, src_locp, dst_locpp);
  if (!env_ok(envhp, errhp)) ZEC_RETURN("OCILobAssign", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobAssign", guarded(errhp, [&] {
    LobLocator &src = any_locator(src_locp);
    OCILobLocator *&dst_pointer = out(dst_locpp, "4");
    // The destination must be a locator the program allocated.
    LobLocator &dst = any_locator(dst_pointer);
    if (dst.type != src.type || !src.initialized) fail(22275);
    if (&dst == &src) return OCI_SUCCESS;
    int64_t id = src.lob_id;
    if (src.temporary) {
      // A temporary is copied: each locator then owns its own.
      auto *owner = live<SessionHandle>(src.session, OCI_HTYPE_SESSION);
      if (owner == nullptr || !owner->sql) fail(22275);
      id = sql::lob_copy(owner->sql->db, src.lob_id, true);
    }
    if (dst.file_open) close_file(dst);
    dst.initialized = true;
    dst.character = src.character;
    dst.lob_id = id;
    dst.session = src.session;
    dst.locked_transaction = src.locked_transaction;
    dst.temporary = src.temporary;
    dst.buffering = false;
    dst.csform = src.csform;
    dst.streaming = false;
    dst.directory = src.directory;
    dst.file = src.file;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobCharSetId(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp, ub2 *csid) {
  ZEC_ENTER("OCILobCharSetId", envhp, errhp, locp, csid);
  if (!env_ok(envhp, errhp)) ZEC_RETURN("OCILobCharSetId", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobCharSetId", guarded(errhp, [&] {
    ub2 &id = out(csid, "4");
    auto *l = live<LobLocator>(locp, OCI_DTYPE_LOB);
    if (l == nullptr || !l->initialized) fail(22275);
    id = l->character ? kDatabaseCharsetId : 0;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobCharSetForm(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp, ub1 *csfrm) {
  ZEC_ENTER("OCILobCharSetForm", envhp, errhp, locp, csfrm);
  if (!env_ok(envhp, errhp)) ZEC_RETURN("OCILobCharSetForm", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobCharSetForm", guarded(errhp, [&] {
    ub1 &form = out(csfrm, "4");
    auto *l = live<LobLocator>(locp, OCI_DTYPE_LOB);
    if (l == nullptr || !l->initialized) fail(22275);
    form = l->character ? l->csform : 0;
    return OCI_SUCCESS;
  }));
}

// Buffering is accepted and written through: every write reaches the store
// at once, so a flush has nothing left to do.
}  // extern "C"

namespace zec {
namespace {

sword set_buffering(const char *function, OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, bool on) {
  ZEC_ENTER(function, svchp, errhp, locp);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN(function, OCI_INVALID_HANDLE);
  ZEC_RETURN(function, guarded(errhp, [&] {
    Context c = context_of(svchp);
    internal(locp, c).buffering = on;
    return OCI_SUCCESS;
  }));
}

}  // namespace
}  // namespace zec

extern "C" {

ZEC_EXPORT sword __cdecl OCILobEnableBuffering(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp) {
  return set_buffering("OCILobEnableBuffering", svchp, errhp, locp, true);
}

ZEC_EXPORT sword __cdecl OCILobDisableBuffering(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp) {
  return set_buffering("OCILobDisableBuffering", svchp, errhp, locp, false);
}

ZEC_EXPORT sword __cdecl OCILobFlushBuffer(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 flag) {
  ZEC_ENTER("OCILobFlushBuffer", svchp, errhp, locp, flag);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobFlushBuffer", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobFlushBuffer", guarded(errhp, [&] {
    context_of(svchp);
    if (!any_locator(locp).initialized) fail(22275);
    if (flag != OCI_LOB_BUFFER_FREE && flag != OCI_LOB_BUFFER_NOFREE) fail(24801);
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobFileSetName(OCIEnv *envhp, OCIError *errhp, OCILobLocator **filepp,
                                           const OraText *dir_alias, ub2 d_length, const OraText *filename,
                                           ub2 f_length) {
  ZEC_ENTER("OCILobFileSetName", envhp, errhp, filepp, dir_alias, d_length, filename, f_length);
  if (!env_ok(envhp, errhp)) ZEC_RETURN("OCILobFileSetName", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobFileSetName", guarded(errhp, [&] {
    OCILobLocator *&pointer = out(filepp, "3");
    if ((dir_alias == nullptr && d_length > 0) || d_length == 0) fail(21560, "4");
    if ((filename == nullptr && f_length > 0) || f_length == 0) fail(21560, "6");
    LobLocator *l = nullptr;
    if (pointer == nullptr) {
      // No locator yet: one is made under the environment.
      auto *environment = static_cast<Handle *>(live_handle(envhp, OCI_HTYPE_ENV));
      l = static_cast<LobLocator *>(new_handle(OCI_DTYPE_FILE, true, environment, environment));
      if (l == nullptr) fail(4030, "BFILE");
      pointer = reinterpret_cast<OCILobLocator *>(l);
    } else {
      l = live<LobLocator>(pointer, OCI_DTYPE_FILE);
      if (l == nullptr) fail(22275);
    }
    if (l->file_open) close_file(*l);
    l->directory.assign(reinterpret_cast<const char *>(dir_alias), d_length);
    l->file.assign(reinterpret_cast<const char *>(filename), f_length);
    l->initialized = true;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobFileGetName(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *filep,
                                           OraText *dir_alias, ub2 *d_length, OraText *filename, ub2 *f_length) {
  ZEC_ENTER("OCILobFileGetName", envhp, errhp, filep, dir_alias, d_length, filename, f_length);
  if (!env_ok(envhp, errhp)) ZEC_RETURN("OCILobFileGetName", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobFileGetName", guarded(errhp, [&] {
    LobLocator &l = bfile(filep);
    ub2 &alias_room = out(d_length, "5");
    ub2 &name_room = out(f_length, "7");
    if (dir_alias == nullptr || l.directory.size() > alias_room) fail(21560, "4");
    if (filename == nullptr || l.file.size() > name_room) fail(21560, "6");
    std::memcpy(dir_alias, l.directory.data(), l.directory.size());
    std::memcpy(filename, l.file.data(), l.file.size());
    alias_room = static_cast<ub2>(l.directory.size());
    name_room = static_cast<ub2>(l.file.size());
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobFileOpen(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, ub1 mode) {
  ZEC_ENTER("OCILobFileOpen", svchp, errhp, filep, mode);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobFileOpen", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobFileOpen", guarded(errhp, [&] {
    Context c = context_of(svchp);
    LobLocator &l = bfile(filep);
    if (mode != OCI_FILE_READONLY) fail(24801);
    std::filesystem::path path = file_path(c, l, "FILEOPEN");
    if (!is_file(path)) fail(22285, "FILEOPEN");
    if (!std::ifstream(path, std::ios::binary)) fail(22288, "FILEOPEN\x1f" "Permission denied");
    if (l.file_open) return OCI_SUCCESS;
    size_t open = 0;
    for (LobLocator *other : c.service->open_files)
      if (live_handle(other, OCI_DTYPE_FILE) && other->opened_on == c.service) ++open;
    if (open >= kMaxOpenFiles) fail(22290);
    c.service->open_files.insert(&l);
    l.file_open = true;
    l.opened_on = c.service;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobFileClose(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep) {
  ZEC_ENTER("OCILobFileClose", svchp, errhp, filep);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobFileClose", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobFileClose", guarded(errhp, [&] {
    context_of(svchp);
    LobLocator &l = bfile(filep);
    if (l.file_open) close_file(l);
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobFileCloseAll(OCISvcCtx *svchp, OCIError *errhp) {
  ZEC_ENTER("OCILobFileCloseAll", svchp, errhp);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobFileCloseAll", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobFileCloseAll", guarded(errhp, [&] {
    Context c = context_of(svchp);
    std::set<LobLocator *> files;
    files.swap(c.service->open_files);
    for (LobLocator *l : files) {
      if (live_handle(l, OCI_DTYPE_FILE) == nullptr || l->opened_on != c.service) continue;
      l->file_open = false;
      l->opened_on = nullptr;
    }
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobFileExists(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, OCIBoolean *flag) {
  ZEC_ENTER("OCILobFileExists", svchp, errhp, filep, flag);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobFileExists", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobFileExists", guarded(errhp, [&] {
    Context c = context_of(svchp);
    OCIBoolean &exists = out(flag, "4");
    exists = is_file(file_path(c, bfile(filep), "FILEEXISTS")) ? 1 : 0;
    return OCI_SUCCESS;
  }));
}

ZEC_EXPORT sword __cdecl OCILobFileIsOpen(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, OCIBoolean *flag) {
  ZEC_ENTER("OCILobFileIsOpen", svchp, errhp, filep, flag);
  if (!handles_ok(svchp, errhp)) ZEC_RETURN("OCILobFileIsOpen", OCI_INVALID_HANDLE);
  ZEC_RETURN("OCILobFileIsOpen", guarded(errhp, [&] {
    context_of(svchp);
    OCIBoolean &open = out(flag, "4");
    open = bfile(filep).file_open ? 1 : 0;
    return OCI_SUCCESS;
  }));
}

}  // extern "C"
