// Lazy binding of the Oracle client. The library is loaded once, by the
// client probe; each function is looked up on its first call and the answer
// is kept. A function the installed client lacks is reported to the user
// once, and the caller gets null.
#pragma once

#include <cstdint>

#include "oci.h"
#include "oci/function_list.h"

namespace zorvan::oci {

enum class Fn : uint16_t {
#define ZORVAN_OCI_ENUM(name) name,
  ZORVAN_OCI_FUNCTIONS(ZORVAN_OCI_ENUM)
#undef ZORVAN_OCI_ENUM
  Count
};
static_assert(static_cast<int>(Fn::Count) == 139, "the plug-in calls 139 OCI functions");

// Loads the client library. Shows "Dll not found: <library>" when it cannot
// be loaded. Only the first call tries; later calls repeat its answer.
bool load_client() noexcept;

// The function's address, or null (after showing "Function <name> was not
// found in <library>" the first time) when the library lacks it or was never
// loaded.
void *resolve(Fn fn) noexcept;

const char *function_name(Fn fn) noexcept;

// The typed address of an OCI function: OCI_FUNCTION(OCIStmtExecute) has the
// type of a pointer to OCIStmtExecute as the contract header declares it.
template <class Pointer>
Pointer typed(void *address) noexcept {
  return reinterpret_cast<Pointer>(address);
}

}  // namespace zorvan::oci

#define OCI_FUNCTION(name) \
  ::zorvan::oci::typed<decltype(&::name)>(::zorvan::oci::resolve(::zorvan::oci::Fn::name))
