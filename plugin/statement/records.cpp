#include "statement/records.h"

#include "support/memory.h"

namespace zorvan {

// The records grow their buffers and references with the bind and define
// commands; until then a record is a link in its statement's list.
struct BindRecord {
  BindRecord *next;
};
struct DefineRecord {
  DefineRecord *next;
};

void bind_list_free(BindRecord *head) noexcept {
  while (head != nullptr) {
    BindRecord *next = head->next;
    plugin_free(head);
    head = next;
  }
}

void define_list_free(DefineRecord *head) noexcept {
  while (head != nullptr) {
    DefineRecord *next = head->next;
    plugin_free(head);
    head = next;
  }
}

}  // namespace zorvan
