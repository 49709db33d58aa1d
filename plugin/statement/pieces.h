// LONG and LONG RAW values in pieces: the callbacks OCI calls inside
// execute (a data-at-execute bind hands its value out 64 KiB at a time)
// and inside fetch (a dynamic define grows its buffer as pieces arrive).
// Each finds its record through the registry by the bind or define handle.
#pragma once

#include <cstdint>

#include "oci.h"

namespace zorvan {

struct RegistryNode;

// The statement's registry node, when the handle is a registered statement.
RegistryNode *statement_node(uint32_t handle) noexcept;

sb4 __cdecl dynamic_bind_callback(void *context, OCIBind *bindp, ub4 iteration, ub4 index, void **bufpp,
                                  ub4 *alenp, ub1 *piecep, void **indpp) noexcept;
sb4 __cdecl dynamic_define_callback(void *context, OCIDefine *defnp, ub4 iteration, void **bufpp, ub4 **alenpp,
                                    ub1 *piecep, void **indpp, ub2 **rcodep) noexcept;

}  // namespace zorvan
