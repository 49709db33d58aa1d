// Captures what the plug-in shows the user: one line on standard error on
// Linux; on Windows its MessageBoxA calls, redirected in the loaded
// plug-in's import table so that no box appears.
#pragma once

#include <string>

#include "zorvan_host.h"

namespace zorvan::test {

// The client library's name as the plug-in reports it.
const char *client_library_name();

class MessageCapture {
 public:
  explicit MessageCapture(const emu::Plugin &plugin);
  ~MessageCapture();
  // Every message shown since the capture began, each followed by "\n".
  std::string text();
  // Windows: whether every box had no owner, no caption and only an OK button.
  bool plain_boxes() const;

 private:
  bool active_ = false;
};

}  // namespace zorvan::test
