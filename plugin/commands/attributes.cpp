// Attributes and describe parameters: the two attribute tables, reading and
// setting attributes by kind, parameter descriptors and describing objects.
#include "commands/attributes.h"

#include <array>
#include <cmath>
#include <cstring>
#include <span>

#include "commands/commands.h"
#include "commands/pattern.h"

namespace zorvan {
namespace {

constexpr AttributeKindEntry kGeneralAttributes[] = {
    {1, 4, 0},    {2, 6, 0},    {4, 3, 0},    {5, 5, 1},    {6, 5, 8},     {143, 4, 0},
    {7, 5, 9},    {8, 5, 10},   {9, 4, 0},    {10, 3, 0},   {11, 4, 0},    {3, 1, 0},
    {13, 4, 0},   {15, 4, 0},   {16, 3, 0},   {18, 4, 0},   {19, 5, 670},  {22, 8, 0},
    {23, 8, 0},   {24, 3, 0},   {25, 8, 0},   {26, 8, 0},   {27, 5, 669},  {29, 8, 0},
    {31, 3, 0},   {32, 1, 0},   {33, 7, 0},   {34, 4, 0},   {35, 4, 0},    {36, 5, 666},
    {37, 5, 667}, {38, 5, 667}, {42, 4, 0},   {43, 5, 668}, {44, 1, 0},    {45, 4, 0},
    {124, 5, 53},
};
static_assert(std::size(kGeneralAttributes) == 37);

constexpr AttributeKindEntry kParameterAttributes[] = {
    {101, 0, 0},  {102, 3, 0},  {103, 5, 53}, {104, 4, 0},  {105, 1, 0},  {106, 1, 0},
    {107, 1, 0},  {108, 5, 53}, {109, 5, 53}, {110, 5, 671}, {111, 8, 0}, {112, 11, 0},
    {113, 11, 0}, {114, 11, 0}, {115, 11, 0}, {116, 1, 0},  {117, 11, 0}, {118, 8, 0},
    {119, 11, 0}, {120, 3, 0},  {121, 3, 0},  {122, 4, 0},  {123, 1, 0},  {124, 5, 53},
    {125, 3, 0},  {126, 12, 0}, {1, 3, 0},    {2, 3, 0},    {4, 8, 0},    {5, 1, 0},
    {6, 2, 0},    {7, 1, 0},    {8, 8, 0},    {9, 8, 0},    {10, 8, 0},   {11, 3, 0},
    {31, 3, 0},   {32, 1, 0},   {50, 10, 0},  {51, 13, 0},  {52, 13, 0},  {53, 11, 0},
    {210, 3, 0},  {211, 3, 0},  {212, 1, 0},  {213, 4, 0},  {214, 1, 0},  {215, 4, 0},
    {216, 3, 0},  {217, 3, 0},  {218, 8, 0},  {219, 1, 0},  {220, 1, 0},  {221, 1, 0},
    {222, 1, 0},  {223, 1, 0},  {224, 1, 0},  {225, 1, 0},  {226, 1, 0},  {227, 10, 0},
    {228, 4, 0},  {229, 5, 53}, {230, 4, 0},  {231, 5, 53}, {232, 10, 0}, {233, 10, 0},
    {234, 4, 0},  {235, 4, 0},  {236, 1, 0},  {237, 1, 0},  {238, 1, 0},  {239, 1, 0},
    {240, 1, 0},  {241, 1, 0},  {242, 1, 0},  {243, 1, 0},  {244, 1, 0},  {245, 1, 0},
    {246, 1, 0},  {247, 1, 0},  {248, 1, 0},  {249, 1, 0},
};
static_assert(std::size(kParameterAttributes) == 82);

// Each table indexed by attribute number (row + 1, 0 for none), so a
// lookup costs one load whatever the row.
constexpr int32_t kIndexedAttributes = 256;
using AttributeIndex = std::array<uint8_t, kIndexedAttributes>;

template <size_t N>
constexpr AttributeIndex index_of(const AttributeKindEntry (&table)[N]) {
  static_assert(N < 255);
  AttributeIndex index{};
  for (size_t row = 0; row < N; ++row) index[static_cast<size_t>(table[row].attribute)] = static_cast<uint8_t>(row + 1);
  return index;
}

constexpr AttributeIndex kGeneralIndex = index_of(kGeneralAttributes);
constexpr AttributeIndex kParameterIndex = index_of(kParameterAttributes);


// Room for anything OCI may write where an attribute is read: a handle, a
// number, or the whole of a descriptor for the attributes that fill one.
constexpr size_t kAttributeRoom = 256;

// The text of an attribute, as copied for the host: at most 511 bytes.
constexpr size_t kAttributeTextSize = 512;

struct AttributeTarget {
  uint32_t handle;
  int32_t type;  // its registry type; 0 when it is not registered
  uint32_t error;
  AttributeKindEntry entry;
};

// Reads P1, P3 and P4 and checks them: P1 registered, P4 an error handle.
bool attribute_target(const CommandCall &call, AttributeTarget &t) noexcept {
  t.handle = handle_param(call, 1);
  t.error = typed_handle(call, 4, OCI_HTYPE_ERROR);
  t.type = t.handle != 0 ? registry_type(t.handle) : 0;
  if (t.type == 0 || t.error == 0) return false;
  t.entry = attribute_kind(t.type, param_long(call, 3));
  return true;
}

// Kind 11: OCI answers with the address of the NUMBER's bytes and their
// count; they become an OCINumber and then a real, which reaches the host
// rounded toward zero when it fits in a long.
void read_number_attribute(const CommandCall &call, const AttributeTarget &t) noexcept {
  auto get = COMMAND_OCI(call, OCIAttrGet);
  if (get == nullptr) return;
  const ub1 *bytes = nullptr;
  ub4 size = 0;
  sword status = get(as_handle<void>(t.handle), static_cast<ub4>(t.type), &bytes, &size,
                     static_cast<ub4>(t.entry.attribute), as_handle<OCIError>(t.error));
  if (!is_success(status)) return report_failure(call, status, t.error);
  OCINumber number{};
  if (bytes == nullptr || size == 0 || size >= OCI_NUMBER_SIZE)
    return report_failure(call, OCI_ERROR, t.error);
  number.OCINumberPart[0] = static_cast<ub1>(size);
  std::memcpy(number.OCINumberPart + 1, bytes, size);

  auto to_real = COMMAND_OCI(call, OCINumberToReal);
  if (to_real == nullptr) return;
  double real = 0;
  status = to_real(as_handle<OCIError>(t.error), &number, sizeof real, &real);
  if (!is_success(status)) return report_failure(call, status, t.error);
  double whole = std::trunc(real);
  if (!(whole >= -2147483648.0 && whole <= 2147483647.0))
    return report_failure(call, OCI_ERROR, t.error);
  param_set_long(call, 2, static_cast<int32_t>(whole));
  result_set_long(call, status);
}

}  // namespace

AttributeKindEntry attribute_kind(int32_t registry_type, int32_t attribute) noexcept {
  bool parameter = registry_type == OCI_DTYPE_PARAM;
  if (attribute >= 0 && attribute < kIndexedAttributes) {
    uint8_t row = (parameter ? kParameterIndex : kGeneralIndex)[attribute];
    if (row != 0) return (parameter ? kParameterAttributes : kGeneralAttributes)[row - 1];
  }
  return AttributeKindEntry{attribute, kKindNone, 0};
}

// OCI_ATTR_ROWID fills a ROWID descriptor the caller allocated: the
// plug-in allocates one, lets OCI fill it, registers it and hands it to the
// host, which frees it with selector 59.
void read_rowid_attribute(const CommandCall &call, const AttributeTarget &t) noexcept {
  auto get = COMMAND_OCI(call, OCIAttrGet);
  auto alloc = COMMAND_OCI(call, OCIDescriptorAlloc);
  auto release = COMMAND_OCI(call, OCIDescriptorFree);
  if (get == nullptr || alloc == nullptr || release == nullptr) return;
  void *env = nullptr;
  sword status = get(as_handle<void>(t.handle), static_cast<ub4>(t.type), &env, nullptr, OCI_ATTR_ENV,
                     as_handle<OCIError>(t.error));
  if (!is_success(status)) return report_failure(call, status, t.error);
  void *rowid = nullptr;
  status = alloc(env, &rowid, OCI_DTYPE_ROWID, 0, nullptr);
  if (!is_success(status)) return report_failure(call, status, t.error);
  ub4 size = 0;
  status = get(as_handle<void>(t.handle), static_cast<ub4>(t.type), rowid, &size, OCI_ATTR_ROWID,
               as_handle<OCIError>(t.error));
  uint32_t word = handle_word(rowid);
  if (!is_success(status)) {
    release(rowid, OCI_DTYPE_ROWID);
    return report_failure(call, status, t.error);
  }
  if (registry_add(word, OCI_DTYPE_ROWID, 0) == RegistryAdd::NoMemory) {
    release(rowid, OCI_DTYPE_ROWID);
    return report_failure(call, OCI_ERROR, 0);
  }
  param_set_long(call, 2, static_cast<int32_t>(word));
  result_set_long(call, status);
}

void command_attr_get(const CommandCall &call) noexcept {
  AttributeTarget t;
  if (!attribute_target(call, t)) return refuse(call);
  if (t.entry.attribute == OCI_ATTR_ROWID && t.type == OCI_HTYPE_STMT) return read_rowid_attribute(call, t);
  switch (t.entry.kind) {
    case kKindByte: case kKindUnsignedByte: case kKindShort: case kKindBoolean:
    case kKindTablespace: case kKindLong: case kKindHandle: case kKindSize: case kKindPointer:
      break;
    case kKindNumber:
      // The timestamp is a 7-byte DATE behind its pointer, not a NUMBER.
      if (t.entry.attribute == OCI_ATTR_TIMESTAMP) return refuse(call);
      return read_number_attribute(call, t);
    default:
      return refuse(call);
  }
  auto get = COMMAND_OCI(call, OCIAttrGet);
  if (get == nullptr) return;
  // Room for whatever OCI writes; only the first word is read back, and it
  // must read as zero-extended when OCI writes fewer bytes.
  alignas(8) uint8_t value[kAttributeRoom];
  std::memset(value, 0, sizeof(uint32_t));
  ub4 size = 0;
  sword status = get(as_handle<void>(t.handle), static_cast<ub4>(t.type), value, &size,
                     static_cast<ub4>(t.entry.attribute), as_handle<OCIError>(t.error));
  // The host receives the kind's width, zero-extended, whatever the status.
  uint32_t delivered = 0;
  switch (t.entry.kind) {
    case kKindByte: case kKindUnsignedByte:
      delivered = value[0];
      break;
    case kKindShort: case kKindBoolean: case kKindTablespace: {
      uint16_t half;
      std::memcpy(&half, value, sizeof half);
      delivered = half;
      break;
    }
    default:
      std::memcpy(&delivered, value, sizeof delivered);
  }
  // A handle the registry cannot take is not handed to the host.
  if (is_success(status) && t.entry.kind == kKindHandle && delivered != 0 &&
      registry_add(delivered, t.entry.registry_type, 0) == RegistryAdd::NoMemory)
    return report_failure(call, OCI_ERROR, 0);
  param_set_long(call, 2, static_cast<int32_t>(delivered));
  result_set_long(call, status);
  if (!is_success(status)) return report_failure(call, status, t.error);
}

void command_attr_set(const CommandCall &call) noexcept {
  AttributeTarget t;
  if (!attribute_target(call, t)) return refuse(call);
  int32_t value = param_long(call, 2);
  uint8_t byte_copy = static_cast<uint8_t>(value);
  uint16_t short_copy = static_cast<uint16_t>(value);
  int32_t long_copy = value;
  void *attribute = nullptr;
  // OCI_ATTR_OBJECT is a 4-byte boolean in Oracle's client.
  uint32_t wide_copy = short_copy;
  switch (t.entry.kind) {
    case kKindByte: attribute = &byte_copy; break;
    case kKindShort: case kKindBoolean:
      attribute = t.entry.attribute == OCI_ATTR_OBJECT ? static_cast<void *>(&wide_copy) : &short_copy;
      break;
    case kKindLong: case kKindSize: attribute = &long_copy; break;
    case kKindHandle: case kKindPointer: attribute = as_handle<void>(static_cast<uint32_t>(value)); break;
    default: return refuse(call);
  }
  auto set = COMMAND_OCI(call, OCIAttrSet);
  if (set == nullptr) return;
  sword status = set(as_handle<void>(t.handle), static_cast<ub4>(t.type), attribute, 0,
                     static_cast<ub4>(t.entry.attribute), as_handle<OCIError>(t.error));
  finish(call, status, t.error);
}

void command_attr_get_text(const CommandCall &call) noexcept {
  AttributeTarget t;
  if (!attribute_target(call, t) || t.entry.kind != kKindText) return refuse(call);
  auto get = COMMAND_OCI(call, OCIAttrGet);
  if (get == nullptr) return;
  const OraText *text = nullptr;
  ub4 length = 0;
  sword status = get(as_handle<void>(t.handle), static_cast<ub4>(t.type), &text, &length,
                     static_cast<ub4>(t.entry.attribute), as_handle<OCIError>(t.error));
  // Copied whatever the status: up to the length OCI gives, to a NUL, and
  // to the buffer's room, which cuts a longer text at 511 bytes.
  char buffer[kAttributeTextSize] = {};
  if (text != nullptr) {
    size_t room = length < kAttributeTextSize - 1 ? length : kAttributeTextSize - 1;
    size_t copied = 0;
    while (copied < room && text[copied] != '\0') {
      buffer[copied] = static_cast<char>(text[copied]);
      ++copied;
    }
    buffer[copied] = '\0';
  }
  if (!is_success(status)) return report_failure(call, status, t.error);
  param_set_text(call, 2, buffer);
  result_set_long(call, status);
}

void command_attr_set_text(const CommandCall &call) noexcept {
  AttributeTarget t;
  if (!attribute_target(call, t) || t.entry.kind != kKindText) return refuse(call);
  host::ZString text;
  param_text(call, 2, text);
  auto set = COMMAND_OCI(call, OCIAttrSet);
  if (set == nullptr) return;
  sword status = set(as_handle<void>(t.handle), static_cast<ub4>(t.type), text,
                     static_cast<ub4>(std::strlen(text)), static_cast<ub4>(t.entry.attribute),
                     as_handle<OCIError>(t.error));
  finish(call, status, t.error);
}

void command_param_get(const CommandCall &call) noexcept {
  uint32_t handle = handle_param(call, 1);
  int32_t type = handle != 0 ? registry_type(handle) : 0;
  if (type != OCI_HTYPE_STMT && type != OCI_HTYPE_COMPLEXOBJECT && type != OCI_DTYPE_PARAM)
    return refuse(call);
  uint32_t error = handle_param(call, 2);
  auto get = COMMAND_OCI(call, OCIParamGet);
  if (get == nullptr) return;
  void *descriptor = nullptr;
  sword status = get(as_handle<void>(handle), static_cast<ub4>(type), as_handle<OCIError>(error),
                     &descriptor, static_cast<ub4>(param_long(call, 4)));
  if (!is_success(status)) return report_failure(call, status, error);
  if (registry_add(handle_word(descriptor), OCI_DTYPE_PARAM, 0) == RegistryAdd::NoMemory) {
    // The descriptor the registry cannot hold goes back to OCI.
    if (auto release = OCI_FUNCTION(OCIDescriptorFree)) release(descriptor, OCI_DTYPE_PARAM);
    return report_failure(call, OCI_ERROR, 0);
  }
  param_set_long(call, 3, static_cast<int32_t>(handle_word(descriptor)));
  result_set_long(call, status);
}

void command_param_set(const CommandCall &call) noexcept {
  uint32_t object = typed_handle(call, 1, OCI_HTYPE_COMPLEXOBJECT);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  uint32_t component = typed_handle(call, 3, OCI_DTYPE_COMPLEXOBJECTCOMP);
  if (object == 0 || error == 0 || component == 0) return refuse(call);
  auto set = COMMAND_OCI(call, OCIParamSet);
  if (set == nullptr) return;
  sword status = set(as_handle<void>(object), OCI_HTYPE_COMPLEXOBJECT, as_handle<OCIError>(error),
                     as_handle<void>(component), OCI_DTYPE_COMPLEXOBJECTCOMP,
                     static_cast<ub4>(param_long(call, 4)));
  finish(call, status, error);
}

// 57 names the object by a pointer, 58 by its name.
void command_describe_any(const CommandCall &call, int32_t selector) noexcept {
  uint32_t service = typed_handle(call, 1, OCI_HTYPE_SVCCTX);
  uint32_t error = typed_handle(call, 2, OCI_HTYPE_ERROR);
  uint32_t describe = typed_handle(call, 7, OCI_HTYPE_DESCRIBE);
  if (service == 0 || error == 0 || describe == 0) return refuse(call);
  host::ZString name;
  void *object = nullptr;
  ub4 length = 0;
  if (selector == 58) {
    param_text(call, 3, name);
    object = name;
    length = static_cast<ub4>(std::strlen(name));
  } else {
    object = as_handle<void>(handle_param(call, 3));
  }
  auto describe_any = COMMAND_OCI(call, OCIDescribeAny);
  if (describe_any == nullptr) return;
  sword status = describe_any(as_handle<OCISvcCtx>(service), as_handle<OCIError>(error), object,
                              length, static_cast<ub1>(param_long(call, 4)),
                              static_cast<ub1>(param_long(call, 5)),
                              static_cast<ub1>(param_long(call, 6)),
                              as_handle<OCIDescribe>(describe));
  finish(call, status, error);
}

}  // namespace zorvan
