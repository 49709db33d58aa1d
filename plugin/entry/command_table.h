// The one table of every command: what each selector calls (the OCI
// function or the utility), the file and handler that carry it out, its
// parameters, its result, how its failures are reported and what it does to
// the registry. The dispatcher runs commands from it; the command reference
// and the manifest are generated from it.
#pragma once

#include <cstdint>
#include <span>

#include "entry/command_call.h"

namespace zorvan {

using CommandHandler = void (*)(const CommandCall &call, int32_t selector) noexcept;

enum class CommandResult : uint8_t {
  Status,  // OCI's status (or the plug-in's) as a long
  Value,   // a long value OCI returns (a size, a flag, a count)
  Text,    // a string
  Blob,    // a new host BLOB
  None,    // the result is never written
};

enum class StatusRule : uint8_t {
  ErrorPath,  // a failure calls the error-handler method, then becomes the result
  Result,     // OCI's status is the result; the error path only for wrong handles
  Silent,     // on a wrong environment or object: nothing at all
  NoOci,      // no OCI call
};

struct CommandRow {
  int16_t selector;
  const char *command;   // the OCI function, or what the utility does
  const char *family;    // the section of the reference
  const char *file;      // under plugin/
  const char *handler;   // its function there
  CommandHandler run;
  // Parameters, P1 first, separated by ", ": name:kind:direction[:type].
  // Kinds long, real, date, string, text, blob, variable, any; directions
  // in, out, inout; type the registry type the handle must have ("50/56":
  // either; "any": any registered type).
  const char *params;
  CommandResult result;
  StatusRule status;
  const char *registry;  // what it adds to or removes from the registry; "" for nothing
  const char *summary;
};

// Every command, in selector order.
std::span<const CommandRow> command_rows() noexcept;
// The row of a selector; null for one without a command.
const CommandRow *command_row(int32_t selector) noexcept;

}  // namespace zorvan
