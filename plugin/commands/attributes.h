// The attribute tables: for each attribute number, the kind of value the
// attribute commands move and, for handle values, the registry type they
// are registered under. Parameter descriptors have a table of their own.
#pragma once

#include <cstdint>

namespace zorvan {

struct AttributeKindEntry {
  int32_t attribute;
  int32_t kind;
  int32_t registry_type;  // non-zero exactly for kind 5
};

// Value kinds.
enum AttributeKind : int32_t {
  kKindNone = 0,
  kKindByte = 1,
  kKindUnsignedByte = 2,
  kKindShort = 3,
  kKindLong = 4,
  kKindHandle = 5,
  kKindBoolean = 6,
  kKindSize = 7,
  kKindText = 8,
  kKindRefused = 9,
  kKindPointer = 10,
  kKindNumber = 11,
  kKindTablespace = 12,
  kKindUnused = 13,
};

// Registry types for handle-kind values that are not OCI handles.
inline constexpr int32_t kRegistryPinOption = 666;
inline constexpr int32_t kRegistryDuration = 667;
inline constexpr int32_t kRegistryFailover = 668;
inline constexpr int32_t kRegistryXid = 669;
inline constexpr int32_t kRegistryRowid = 670;
inline constexpr int32_t kRegistryTypeRef = 671;

// The parameter table for registry type 53, the general table otherwise;
// kind 0 and type 0 when the table has no row for the attribute.
AttributeKindEntry attribute_kind(int32_t registry_type, int32_t attribute) noexcept;

}  // namespace zorvan
