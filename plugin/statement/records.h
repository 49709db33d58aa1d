// Bind and define records: what a statement's registry node owns for each
// host variable bound to a placeholder or defined on a select-list column.
#pragma once

namespace zorvan {

struct BindRecord;
struct DefineRecord;

// Free a whole list with every buffer and reference copy its records own.
void bind_list_free(BindRecord *head) noexcept;
void define_list_free(DefineRecord *head) noexcept;

}  // namespace zorvan
