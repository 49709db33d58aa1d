// The record the entry builds for each command call and hands to every
// handler and accessor.
#pragma once

#include <cstdint>

namespace zorvan {

struct CommandCall {
  void *parameters;  // the host's ParameterBlock: one pointer per parameter
  void *result;      // the command's result slot
  int32_t data;      // the host's data word, passed on and never read
};

}  // namespace zorvan
