// LOB and BFILE commands. Locators are registered descriptors: internal
// LOBs under OCI_DTYPE_LOB, BFILEs under OCI_DTYPE_FILE. Three commands move
// a whole LOB to or from a host BLOB; every other one is a single OCI call
// in the shared command shape.
#include <algorithm>
#include <cstring>

#include "commands/commands.h"
#include "commands/pattern.h"
#include "host/protocol.h"
#include "statement/buffer_rule.h"
#include "support/memory.h"

namespace zorvan {
namespace {

// The first three parameters of most rows: service context, error handle,
// and a locator of the given type. Zero words when any check fails.
struct Target {
  uint32_t service = 0, error = 0, locator = 0;
  explicit operator bool() const noexcept { return service != 0 && error != 0 && locator != 0; }
};

Target service_error_locator(const CommandCall &call, int32_t locator_type) noexcept {
  Target t;
  t.service = typed_handle(call, 1, OCI_HTYPE_SVCCTX);
  t.error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  t.locator = typed_handle(call, 3, locator_type);
  return t;
}

// A locator parameter that may be an internal LOB or a BFILE.
uint32_t any_locator(const CommandCall &call, int16_t i) noexcept {
  uint32_t locator = handle_param(call, i);
  int32_t type = locator != 0 ? registry_type(locator) : 0;
  return type == OCI_DTYPE_LOB || type == OCI_DTYPE_FILE ? locator : 0;
}

// OCI's boolean reaches the host as 1 only when it is exactly 1.
int32_t flag_value(OCIBoolean flag) noexcept { return flag == 1 ? 1 : 0; }

// The plug-in moves at most this many bytes through one host BLOB: its own
// buffers are bounded so.
constexpr uint32_t kMaxTransfer = kMaxValueBuffer;

// The piece size a read that outgrows its first buffer grows by.
constexpr uint32_t kReadGrowth = 1u << 20;

// A failure the plug-in finds before OCI runs (no host memory, a size or an
// offset out of range): OCI_ERROR with no handle.
void fail_plainly(const CommandCall &call) noexcept { report_failure(call, OCI_ERROR, 0); }

// The host handle that receives a read: made or resized to `size`, and
// checked to have that much room. 0 when the host could not provide it (a
// handle made here is then disposed of again).
uint32_t sized_handle(uint32_t handle, uint32_t size) noexcept {
  bool made = handle == 0;
  if (made) handle = host::handle_new(size);
  else host::handle_set_size(handle, size);
  if (handle != 0 && host::handle_get_size(handle) >= size) return handle;
  if (made && handle != 0) host::handle_dispose(handle);
  return 0;
}

// Polling a read to its end without keeping the bytes, so that OCI's stream
// is closed when the host cannot hold more.
sword drain(decltype(&::OCILobRead) read, const Target &t, ub4 offset) noexcept {
  uint8_t scratch[4096];
  sword status = OCI_NEED_DATA;
  // A client that asks for more without giving anything is not followed.
  for (ub4 amount = 1; status == OCI_NEED_DATA && amount != 0;) {
    amount = 0;
    status = read(as_handle<OCISvcCtx>(t.service), as_handle<OCIError>(t.error), as_handle<OCILobLocator>(t.locator),
                  &amount, offset, scratch, sizeof scratch, nullptr, nullptr, 0, SQLCS_IMPLICIT);
  }
  return OCI_ERROR;
}

}  // namespace

// 32: the LOB from P4 on into the host BLOB P5. The BLOB is sized to the
// LOB's length; a CLOB whose characters take more bytes than that in the
// client's character set is read on in polling mode, the BLOB growing.
void command_lob_read(const CommandCall &call) noexcept {
  Target t = service_error_locator(call, OCI_DTYPE_LOB);
  if (!t) return refuse(call);
  ub4 offset = static_cast<ub4>(param_long(call, 4));
  auto get_length = COMMAND_OCI(call, OCILobGetLength);
  if (get_length == nullptr) return;
  auto read = COMMAND_OCI(call, OCILobRead);
  if (read == nullptr) return;
  ub4 length = 0;
  get_length(as_handle<OCISvcCtx>(t.service), as_handle<OCIError>(t.error), as_handle<OCILobLocator>(t.locator),
             &length);
  if (offset == 0 || length > kMaxTransfer) return fail_plainly(call);

  uint32_t handle = sized_handle(handle_param(call, 5), length);
  if (handle == 0) return fail_plainly(call);  // no room from the host: OCI must not write
  uint32_t capacity = length;
  uint32_t delivered = 0;
  sword status = OCI_NEED_DATA;
  bool host_short = false;  // no room from the host, or no progress from OCI: fails with no handle
  for (bool first = true; status == OCI_NEED_DATA; first = false) {
    if (!first && delivered == capacity) {
      // More bytes than the length promised: grow the BLOB before reading on.
      if (capacity >= kMaxTransfer) {
        status = drain(read, t, offset);
        host_short = true;
        break;
      }
      uint32_t grown = capacity + std::min(std::max(capacity, kReadGrowth), kMaxTransfer - capacity);
      if (!host::handle_set_size(handle, grown) || host::handle_get_size(handle) < grown) {
        status = drain(read, t, offset);
        host_short = true;
        break;
      }
      capacity = grown;
    }
    uint8_t none = 0;  // an empty BLOB may have no memory to lock
    auto *data = capacity == 0 ? &none : static_cast<uint8_t *>(host::handle_lock(handle));
    if (data == nullptr) {
      if (!first) drain(read, t, offset);
      status = OCI_ERROR;
      host_short = true;
      break;
    }
    ub4 amount = 0;
    status = read(as_handle<OCISvcCtx>(t.service), as_handle<OCIError>(t.error), as_handle<OCILobLocator>(t.locator),
                  &amount, offset, data + delivered, capacity - delivered, nullptr, nullptr, 0, SQLCS_IMPLICIT);
    if (capacity != 0) host::handle_unlock(handle);
    // OCI never delivers more than the room it was given.
    delivered += std::min<uint32_t>(amount, capacity - delivered);
    if (status == OCI_NEED_DATA && amount == 0) {
      // More asked for, nothing given: the read would never end.
      drain(read, t, offset);
      status = OCI_ERROR;
      host_short = true;
    }
  }
  // The BLOB keeps at least the LOB's length; it grows only to what came.
  uint32_t size = std::max(length, delivered);
  if (size != capacity) host::handle_set_size(handle, size);
  param_set_blob(call, 5, handle);
  if (host_short) return fail_plainly(call);
  finish(call, status, t.error);
}

namespace {

// 30 and 1: the host BLOB at `blob` into the LOB, in one piece.
void write_blob(const CommandCall &call, bool append) noexcept {
  Target t = service_error_locator(call, OCI_DTYPE_LOB);
  if (!t) return refuse(call);
  ub4 offset = append ? 0 : static_cast<ub4>(param_long(call, 4));
  int16_t blob = append ? 4 : 5;
  if (!append && offset == 0) return fail_plainly(call);
  uint32_t size = host::handle_get_size(handle_param(call, blob));
  if (size > kMaxTransfer) return fail_plainly(call);
  HeapBytes bytes = heap_bytes(size);
  if (!bytes) return fail_plainly(call);
  // The host may hand over fewer bytes than it first said: pass what came.
  ub4 filled = param_blob(call, blob, std::span<uint8_t>(bytes.get(), size));
  ub4 amount = std::min<ub4>(filled, size);
  sword status;
  if (append) {
    auto write = COMMAND_OCI(call, OCILobWriteAppend);
    if (write == nullptr) return;
    status = write(as_handle<OCISvcCtx>(t.service), as_handle<OCIError>(t.error), as_handle<OCILobLocator>(t.locator),
                   &amount, bytes.get(), amount, OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT);
  } else {
    auto write = COMMAND_OCI(call, OCILobWrite);
    if (write == nullptr) return;
    status = write(as_handle<OCISvcCtx>(t.service), as_handle<OCIError>(t.error), as_handle<OCILobLocator>(t.locator),
                   &amount, offset, bytes.get(), amount, OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT);
  }
  finish(call, status, t.error);
}

}  // namespace

void command_lob_write(const CommandCall &call) noexcept { write_blob(call, false); }
void command_lob_write_append(const CommandCall &call) noexcept { write_blob(call, true); }

// 36 length and 3 chunk size: a ub4 out-parameter, written whatever the status.
void command_lob_size(const CommandCall &call, int32_t selector) noexcept {
  Target t = service_error_locator(call, OCI_DTYPE_LOB);
  if (!t) return refuse(call);
  auto get = selector == 36 ? COMMAND_OCI(call, OCILobGetLength) : COMMAND_OCI(call, OCILobGetChunkSize);
  if (get == nullptr) return;
  ub4 value = 0;
  sword status = get(as_handle<OCISvcCtx>(t.service), as_handle<OCIError>(t.error),
                     as_handle<OCILobLocator>(t.locator), &value);
  param_set_long(call, 4, static_cast<int32_t>(value));
  finish(call, status, t.error);
}

void command_lob_trim(const CommandCall &call) noexcept {  // 31
  Target t = service_error_locator(call, OCI_DTYPE_LOB);
  if (!t) return refuse(call);
  auto trim = COMMAND_OCI(call, OCILobTrim);
  if (trim == nullptr) return;
  finish(call,
         trim(as_handle<OCISvcCtx>(t.service), as_handle<OCIError>(t.error), as_handle<OCILobLocator>(t.locator),
              static_cast<ub4>(param_long(call, 4))),
         t.error);
}

void command_lob_erase(const CommandCall &call) noexcept {  // 41
  Target t = service_error_locator(call, OCI_DTYPE_LOB);
  if (!t) return refuse(call);
  auto erase = COMMAND_OCI(call, OCILobErase);
  if (erase == nullptr) return;
  ub4 amount = static_cast<ub4>(param_long(call, 4));
  sword status = erase(as_handle<OCISvcCtx>(t.service), as_handle<OCIError>(t.error),
                       as_handle<OCILobLocator>(t.locator), &amount, static_cast<ub4>(param_long(call, 5)));
  param_set_long(call, 4, static_cast<int32_t>(amount));
  finish(call, status, t.error);
}

void command_lob_append(const CommandCall &call) noexcept {  // 47
  Target t = service_error_locator(call, OCI_DTYPE_LOB);
  uint32_t source = typed_handle(call, 4, OCI_DTYPE_LOB);
  if (!t || source == 0) return refuse(call);
  auto append = COMMAND_OCI(call, OCILobAppend);
  if (append == nullptr) return;
  finish(call,
         append(as_handle<OCISvcCtx>(t.service), as_handle<OCIError>(t.error), as_handle<OCILobLocator>(t.locator),
                as_handle<OCILobLocator>(source)),
         t.error);
}

// 44 copy from a LOB and 34 load from a BFILE: the same seven parameters.
void command_lob_copy(const CommandCall &call, int32_t selector) noexcept {
  Target t = service_error_locator(call, OCI_DTYPE_LOB);
  uint32_t source = typed_handle(call, 4, selector == 44 ? OCI_DTYPE_LOB : OCI_DTYPE_FILE);
  if (!t || source == 0) return refuse(call);
  auto copy = selector == 44 ? COMMAND_OCI(call, OCILobCopy) : COMMAND_OCI(call, OCILobLoadFromFile);
  if (copy == nullptr) return;
  finish(call,
         copy(as_handle<OCISvcCtx>(t.service), as_handle<OCIError>(t.error), as_handle<OCILobLocator>(t.locator),
              as_handle<OCILobLocator>(source), static_cast<ub4>(param_long(call, 5)),
              static_cast<ub4>(param_long(call, 6)), static_cast<ub4>(param_long(call, 7))),
         t.error);
}

void command_lob_assign(const CommandCall &call) noexcept {  // 46
  uint32_t environment = typed_handle(call, 1, OCI_HTYPE_ENV);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  uint32_t source = typed_handle(call, 3, OCI_DTYPE_LOB);
  uint32_t destination = typed_handle(call, 4, OCI_DTYPE_LOB);
  if (environment == 0 || error == 0 || source == 0 || destination == 0) return refuse(call);
  auto assign = COMMAND_OCI(call, OCILobAssign);
  if (assign == nullptr) return;
  auto *copy = as_handle<OCILobLocator>(destination);
  sword status = assign(as_handle<OCIEnv>(environment), as_handle<OCIError>(error), as_handle<OCILobLocator>(source),
                        &copy);
  if (is_success(status)) param_set_long(call, 4, static_cast<int32_t>(handle_word(copy)));
  finish(call, status, error);
}

// 6 character set id (written on success) and 45 form (written whatever
// the status).
void command_lob_charset(const CommandCall &call, int32_t selector) noexcept {
  uint32_t environment = typed_handle(call, 1, OCI_HTYPE_ENV);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  uint32_t locator = typed_handle(call, 3, OCI_DTYPE_LOB);
  if (environment == 0 || error == 0 || locator == 0) return refuse(call);
  sword status;
  if (selector == 6) {
    auto get = COMMAND_OCI(call, OCILobCharSetId);
    if (get == nullptr) return;
    ub2 id = 0;
    status = get(as_handle<OCIEnv>(environment), as_handle<OCIError>(error), as_handle<OCILobLocator>(locator), &id);
    if (is_success(status)) param_set_long(call, 4, id);
  } else {
    auto get = COMMAND_OCI(call, OCILobCharSetForm);
    if (get == nullptr) return;
    ub1 form = 0;
    status = get(as_handle<OCIEnv>(environment), as_handle<OCIError>(error), as_handle<OCILobLocator>(locator), &form);
    param_set_long(call, 4, form);
  }
  finish(call, status, error);
}

// 42 enable and 43 disable buffering, 4 free a temporary, 39 close a BFILE:
// service context, error handle and locator, nothing else.
void command_lob_plain(const CommandCall &call, int32_t selector) noexcept {
  Target t = service_error_locator(call, selector == 39 ? OCI_DTYPE_FILE : OCI_DTYPE_LOB);
  if (!t) return refuse(call);
  using Plain = decltype(&::OCILobEnableBuffering);
  Plain plain = nullptr;
  switch (selector) {
    case 42: plain = COMMAND_OCI(call, OCILobEnableBuffering); break;
    case 43: plain = COMMAND_OCI(call, OCILobDisableBuffering); break;
    case 4: plain = COMMAND_OCI(call, OCILobFreeTemporary); break;
    case 39: plain = COMMAND_OCI(call, OCILobFileClose); break;
    default: return;
  }
  if (plain == nullptr) return;
  finish(call, plain(as_handle<OCISvcCtx>(t.service), as_handle<OCIError>(t.error), as_handle<OCILobLocator>(t.locator)),
         t.error);
}

void command_lob_flush(const CommandCall &call) noexcept {  // 37
  uint32_t service = typed_handle(call, 1, OCI_HTYPE_SVCCTX);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  uint32_t locator = any_locator(call, 3);
  if (service == 0 || error == 0 || locator == 0) return refuse(call);
  auto flush = COMMAND_OCI(call, OCILobFlushBuffer);
  if (flush == nullptr) return;
  finish(call,
         flush(as_handle<OCISvcCtx>(service), as_handle<OCIError>(error), as_handle<OCILobLocator>(locator),
               static_cast<ub4>(param_long(call, 4))),
         error);
}

// 5: a temporary LOB of type P4. A character LOB takes the implicit form,
// which Oracle expects of a CLOB; a BLOB has no form.
void command_lob_create_temporary(const CommandCall &call) noexcept {
  Target t = service_error_locator(call, OCI_DTYPE_LOB);
  if (!t) return refuse(call);
  auto create = COMMAND_OCI(call, OCILobCreateTemporary);
  if (create == nullptr) return;
  auto type = static_cast<ub1>(param_long(call, 4));
  ub1 form = type == OCI_TEMP_CLOB ? SQLCS_IMPLICIT : 0;
  finish(call,
         create(as_handle<OCISvcCtx>(t.service), as_handle<OCIError>(t.error), as_handle<OCILobLocator>(t.locator), 0,
                form, type, static_cast<OCIBoolean>(param_long(call, 5)),
                static_cast<OCIDuration>(param_long(call, 6))),
         t.error);
}

// 2 is-temporary (a LOB) and 33 is-initialised (a LOB or a BFILE): an
// environment, an error handle, and the flag written whatever the status.
void command_lob_env_flag(const CommandCall &call, int32_t selector) noexcept {
  uint32_t environment = typed_handle(call, 1, OCI_HTYPE_ENV);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  uint32_t locator = selector == 2 ? typed_handle(call, 3, OCI_DTYPE_LOB) : any_locator(call, 3);
  if (environment == 0 || error == 0 || locator == 0) return refuse(call);
  OCIBoolean flag = 0;
  sword status;
  if (selector == 2) {
    auto is_temporary = COMMAND_OCI(call, OCILobIsTemporary);
    if (is_temporary == nullptr) return;
    status = is_temporary(as_handle<OCIEnv>(environment), as_handle<OCIError>(error),
                          as_handle<OCILobLocator>(locator), &flag);
  } else {
    auto is_init = COMMAND_OCI(call, OCILobLocatorIsInit);
    if (is_init == nullptr) return;
    status = is_init(as_handle<OCIEnv>(environment), as_handle<OCIError>(error), as_handle<OCILobLocator>(locator),
                     &flag);
  }
  param_set_long(call, 4, flag_value(flag));
  finish(call, status, error);
}

// 35: no error handle, so a failure reports none.
void command_lob_is_equal(const CommandCall &call) noexcept {
  uint32_t environment = typed_handle(call, 1, OCI_HTYPE_ENV);
  uint32_t x = any_locator(call, 2);
  uint32_t y = any_locator(call, 3);
  if (environment == 0 || x == 0 || y == 0) return refuse(call);
  auto is_equal = COMMAND_OCI(call, OCILobIsEqual);
  if (is_equal == nullptr) return;
  OCIBoolean flag = 0;
  sword status = is_equal(as_handle<OCIEnv>(environment), as_handle<OCILobLocator>(x), as_handle<OCILobLocator>(y),
                          &flag);
  param_set_long(call, 4, flag_value(flag));
  finish(call, status, 0);
}

// 48: P3 is the locator word as the host holds it (no registry check); a
// locator OCI makes here is not registered.
void command_lob_file_set_name(const CommandCall &call) noexcept {
  uint32_t environment = typed_handle(call, 1, OCI_HTYPE_ENV);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  if (environment == 0 || error == 0) return refuse(call);
  host::ZString alias, name;
  param_text(call, 4, alias);
  param_text(call, 5, name);
  auto set_name = COMMAND_OCI(call, OCILobFileSetName);
  if (set_name == nullptr) return;
  auto *locator = as_handle<OCILobLocator>(handle_param(call, 3));
  sword status = set_name(as_handle<OCIEnv>(environment), as_handle<OCIError>(error), &locator,
                          reinterpret_cast<const OraText *>(alias), static_cast<ub2>(std::strlen(alias)),
                          reinterpret_cast<const OraText *>(name), static_cast<ub2>(std::strlen(name)));
  param_set_long(call, 3, static_cast<int32_t>(handle_word(locator)));
  finish(call, status, error);
}

// 51: each name comes back with the length OCI gave, bounded by its buffer.
void command_lob_file_get_name(const CommandCall &call) noexcept {
  uint32_t environment = typed_handle(call, 1, OCI_HTYPE_ENV);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  uint32_t locator = typed_handle(call, 3, OCI_DTYPE_FILE);
  if (environment == 0 || error == 0 || locator == 0) return refuse(call);
  auto get_name = COMMAND_OCI(call, OCILobFileGetName);
  if (get_name == nullptr) return;
  constexpr ub2 kNameBuffer = 256;
  char alias[kNameBuffer + 1] = {}, name[kNameBuffer + 1] = {};
  ub2 alias_length = kNameBuffer, name_length = kNameBuffer;
  sword status = get_name(as_handle<OCIEnv>(environment), as_handle<OCIError>(error), as_handle<OCILobLocator>(locator),
                          reinterpret_cast<OraText *>(alias), &alias_length, reinterpret_cast<OraText *>(name),
                          &name_length);
  result_set_long(call, status);
  if (!is_success(status)) return report_failure(call, status, error);
  alias[std::min(alias_length, kNameBuffer)] = '\0';
  name[std::min(name_length, kNameBuffer)] = '\0';
  param_set_text(call, 4, alias);
  param_set_text(call, 5, name);
}

void command_lob_file_open(const CommandCall &call) noexcept {  // 49
  Target t = service_error_locator(call, OCI_DTYPE_FILE);
  if (!t) return refuse(call);
  auto open = COMMAND_OCI(call, OCILobFileOpen);
  if (open == nullptr) return;
  finish(call,
         open(as_handle<OCISvcCtx>(t.service), as_handle<OCIError>(t.error), as_handle<OCILobLocator>(t.locator),
              static_cast<ub1>(param_long(call, 4))),
         t.error);
}

void command_lob_file_close_all(const CommandCall &call) noexcept {  // 40
  uint32_t service = typed_handle(call, 1, OCI_HTYPE_SVCCTX);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  if (service == 0 || error == 0) return refuse(call);
  auto close_all = COMMAND_OCI(call, OCILobFileCloseAll);
  if (close_all == nullptr) return;
  finish(call, close_all(as_handle<OCISvcCtx>(service), as_handle<OCIError>(error)), error);
}

// 38 exists and 50 is-open: a BFILE's flag, written whatever the status.
void command_lob_file_flag(const CommandCall &call, int32_t selector) noexcept {
  Target t = service_error_locator(call, OCI_DTYPE_FILE);
  if (!t) return refuse(call);
  auto get = selector == 38 ? COMMAND_OCI(call, OCILobFileExists) : COMMAND_OCI(call, OCILobFileIsOpen);
  if (get == nullptr) return;
  OCIBoolean flag = 0;
  sword status = get(as_handle<OCISvcCtx>(t.service), as_handle<OCIError>(t.error),
                     as_handle<OCILobLocator>(t.locator), &flag);
  param_set_long(call, 4, flag_value(flag));
  finish(call, status, t.error);
}

}  // namespace zorvan
