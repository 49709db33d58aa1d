// Describing: tables, views and sequences (OCIDescribeAny, an explicit
// describe) and a statement's select list (OCIParamGet on the statement,
// an implicit describe), with Oracle's values for each declared type.
#pragma once

#include <memory>

#include "src/handles.h"
#include "src/sql/types.h"

namespace zec {

Column column_of(const std::string &name, const sql::Type &type, bool nullable);
std::shared_ptr<DescribedObject> select_list_of(const Statement &st);

}  // namespace zec
