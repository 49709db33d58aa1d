// The host emulator: the Zorvan host's side of the plug-in protocol, for
// tests and the demo. It loads the plug-in from its file, as Zorvan does,
// answers every host entry code, keeps variables and arrays of every kind
// in host memory handles, and calls the plug-in's commands with typed
// parameters.
//
// Its character set is not ANSI: ASCII is shared, but every byte from 0x80
// up differs (bit 6 flipped), so a text that crosses without translation,
// or is translated twice, shows. Tests speak ANSI; the emulator stores host
// characters.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <unordered_map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host_abi.h"

namespace zorvan::emu {

uint8_t ansi_to_host(uint8_t c);
uint8_t host_to_ansi(uint8_t c);
std::string to_host(const std::string &ansi);
std::string to_ansi(const std::string &host);

// A loaded plug-in. A private copy of the file gives each load its own
// globals, as a fresh Zorvan process would have.
struct Plugin {
  void *module = nullptr;
  abi::PackEntry entry = nullptr;
  std::string path;  // the file actually loaded
  std::string error;
};
Plugin load_plugin(const std::string &file, bool private_copy = true);
void unload_plugin(Plugin &plugin);

struct Variable {
  uint8_t bytes[abi::kHostVariableSize] = {};
  int8_t tag() const { return static_cast<int8_t>(bytes[0]); }
};

// One parameter of a command call.
struct Param {
  enum Kind { Long, Real, Date, String, Text, Blob, VariableRef, Raw } kind = Long;
  int32_t long_value = 0;
  double real_value = 0;
  int16_t date[3] = {0, 0, 0};  // day, month, year
  std::string text;             // ANSI for String and Text; bytes for Blob
  std::string name;             // VariableRef: the variable's name
  int32_t element = 0;          // VariableRef: the designated element
  uint8_t scope = 0;            // VariableRef: 2 = prefixed scope
  std::vector<uint8_t> raw;     // Raw: storage bytes as given
};
Param long_param(int32_t value);
Param real_param(double value);
Param date_param(int16_t day, int16_t month, int16_t year);
Param string_param(const std::string &ansi);
Param text_param(const std::string &ansi);
Param blob_param(const std::string &bytes);  // a new handle of the bytes; none for no bytes
Param blob_handle_param(uint32_t handle);    // a handle the test made (0: none)
Param variable_param(const std::string &name, int32_t element = 0, uint8_t scope = 0);
Param raw_param(std::vector<uint8_t> storage);

enum class ResultKind { Long, String, Blob };

// What a call left behind: its return value, its result slot, and each
// parameter's storage after the call.
struct CallResult {
  int32_t returned = 0;
  int32_t result = 0;       // the long result, or the slot's word for other kinds
  std::string result_text;  // ANSI, for string results
  std::vector<std::vector<uint8_t>> storage;
  class Host *host = nullptr;

  int32_t long_at(int i) const;  // parameters count from 1
  double real_at(int i) const;
  std::string string_at(int i) const;  // ANSI
  void date_at(int i, int16_t *day, int16_t *month, int16_t *year) const;
  uint32_t handle_at(int i) const;     // BLOB parameters
};

struct MethodCall {
  int32_t id;
  std::vector<Variable> arguments;
};
using Method = std::function<Variable(std::span<const Variable> arguments)>;

class Host {
 public:
  explicit Host(abi::PackEntry entry);
  ~Host();
  Host(const Host &) = delete;
  Host &operator=(const Host &) = delete;

  // Events. initialize sends -1 (or -200) with an init record and returns
  // what the plug-in wrote into word 4.
  uint32_t initialize(int32_t event = -1);
  int32_t event(int32_t selector);
  // A command. The result slot starts as `preset` (long results).
  CallResult call(int32_t selector, const std::vector<Param> &params,
                  ResultKind kind = ResultKind::Long, int32_t preset = 0x5A5A5A5A);

  // Checks every later call against the plug-in's manifest (its JSON file):
  // a command called with the wrong number or kinds of parameters throws
  // std::invalid_argument naming the selector, so the test fails loudly.
  // Raw parameters pass as any kind. False when the file cannot be read.
  bool load_manifest(const std::string &path);
  void set_manifest_checks(bool on) { manifest_checks_ = on; }

  // Variables, by name. A name that starts with the byte 0xD7 or "<>" lives
  // in the prefixed scope, under the name without its prefix.
  void set_variable(const std::string &name, const Variable &value);
  Variable variable(const std::string &name) const;
  bool has_variable(const std::string &name) const;
  void set_long(const std::string &name, int32_t value);
  void set_real(const std::string &name, double value);
  void set_date(const std::string &name, int16_t day, int16_t month, int16_t year);
  void set_time(const std::string &name, int32_t seconds);
  void set_text(const std::string &name, const std::string &ansi);
  void set_string(const std::string &name, const std::string &ansi);
  void set_short_string(const std::string &name, const std::string &ansi);
  void set_blob(const std::string &name, const std::string &bytes);
  void set_long_array(const std::string &name, const std::vector<int32_t> &elements);
  void set_integer_array(const std::string &name, const std::vector<int16_t> &elements);
  void set_real_array(const std::string &name, const std::vector<double> &elements);
  void set_date_array(const std::string &name, const std::vector<std::array<int16_t, 3>> &elements);
  void set_text_array(const std::string &name, const std::vector<std::string> &ansi);
  void set_string_array(const std::string &name, const std::vector<std::string> &ansi,
                        uint16_t element_size);
  void set_boolean_array(const std::string &name, const std::vector<bool> &elements);

  int32_t get_long(const std::string &name) const;
  double get_real(const std::string &name) const;
  std::string get_text(const std::string &name) const;    // ANSI
  std::string get_string(const std::string &name) const;  // ANSI; tags 24 and 0
  std::string get_blob(const std::string &name) const;
  std::vector<int32_t> get_long_array(const std::string &name) const;
  std::vector<int16_t> get_integer_array(const std::string &name) const;
  std::vector<double> get_real_array(const std::string &name) const;
  std::vector<std::string> get_text_array(const std::string &name) const;
  std::vector<std::string> get_string_array(const std::string &name) const;
  std::vector<bool> get_boolean_array(const std::string &name) const;
  uint32_t text_handle_of_element(const std::string &name, int32_t i) const;

  // Memory handles.
  uint32_t new_handle(uint32_t size);
  bool handle_live(uint32_t handle) const;
  size_t live_handles() const;
  // Live handles the plug-in asked for with a new-handle request (what it
  // must dispose of or hand over).
  size_t plugin_handles() const;
  std::string handle_bytes(uint32_t handle) const;
  std::string handle_text(uint32_t handle) const;  // host characters turned to ANSI
  uint32_t text_handle(const std::string &ansi);

  // Methods.
  int32_t add_method(const std::string &name, Method method = nullptr);
  // A method under an id of the test's choosing (0 or below included).
  void add_method_with_id(const std::string &name, int32_t id, Method method = nullptr);
  const std::vector<MethodCall> &method_calls() const { return method_calls_; }

  // Environment flags, the text limit, and what the host has noticed.
  void set_indirect_variable_mode(bool on);
  void set_text_limit(uint32_t bytes) { text_limit_ = bytes; }
  // While set, every request for a new memory handle is refused (0).
  void set_refuse_new_handles(bool on) { refuse_new_handles_ = on; }
  // Refuses the n-th request for a new memory handle from now (1: the
  // next); 0 turns it off. new_handle_requests() counts them since.
  void fail_new_handle_at(int n) {
    fail_new_handle_at_ = n;
    new_handle_requests_ = 0;
  }
  int new_handle_requests() const { return new_handle_requests_; }
  // Disposes of a handle the test holds (one a command handed back).
  void dispose_handle(uint32_t handle);
  // Memory handles larger than this are neither made nor grown (as when
  // the host's memory is full); 0 lifts the limit.
  void set_handle_size_limit(uint32_t bytes) { handle_size_limit_ = bytes; }
  // After `reads` reads of handles' bytes, every handle read shrinks to at
  // most `size` bytes first (a host whose data changes between two reads);
  // reads 0 turns it off.
  void shrink_handles_after(int reads, uint32_t size) {
    shrink_after_ = reads;
    shrink_size_ = size;
    handle_reads_ = 0;
  }
  int piece_notifications() const { return pieces_; }
  int callbacks(int32_t entry_code) const;
  int memory_ops(int32_t op) const;
  void reset_counts();
  const std::vector<std::string> &faults() const { return faults_; }

  // Builds the storage of a variable parameter without calling: tests of
  // the variable-reference operations use it.
  std::vector<uint8_t> reference_bytes(const std::string &name, int32_t element = 0,
                                       uint8_t scope = 0) const;

  // The callback the plug-in receives; public for tests that link the
  // plug-in's code in directly.
  static void __cdecl callback(int32_t entry_code, void *record);

 private:
  struct Block;
  void on_call(int32_t entry_code, abi::HostCallRecord &record);
  void on_memory(abi::HostCallRecord &record);
  void on_text(abi::HostCallRecord &record);
  Block *block(uint32_t handle) const;
  bool over_limit(uint32_t size) const { return handle_size_limit_ != 0 && size > handle_size_limit_; }
  uint32_t array_handle(const std::string &name, uint32_t bytes, int8_t tag, int32_t n);
  std::map<std::string, Variable> &scope_of(const std::string &name, std::string *key);
  const std::map<std::string, Variable> &scope_of(const std::string &name, std::string *key) const;
  const Variable *lookup(const uint8_t *prefixed_host_name, bool prefixed_scope) const;
  uint8_t *array_data(const Variable &v) const;

  abi::PackEntry entry_;
  std::unordered_map<uint32_t, std::unique_ptr<Block>> blocks_;  // looked up on every host call
  std::vector<std::unique_ptr<Block>> retired_;
  std::map<std::string, Variable> plain_;
  std::map<std::string, Variable> prefixed_;
  std::map<std::string, int32_t> method_ids_;
  std::map<int32_t, Method> methods_;
  std::vector<MethodCall> method_calls_;
  std::map<int32_t, int> callback_counts_;
  std::map<int32_t, int> memory_counts_;
  std::vector<std::string> faults_;
  uint32_t flags_ = 0;
  uint32_t text_limit_ = 0;  // 0: keep every byte
  bool refuse_new_handles_ = false;
  int fail_new_handle_at_ = 0, new_handle_requests_ = 0;
  std::map<int32_t, std::vector<std::string>> manifest_;  // selector -> parameter kinds
  bool manifest_checks_ = true;
  void check_call(int32_t selector, const std::vector<Param> &params) const;
  uint32_t handle_size_limit_ = 0;
  int shrink_after_ = 0, handle_reads_ = 0;
  uint32_t shrink_size_ = 0;
  int pieces_ = 0;
  uint32_t init_record_[8] = {};
};

}  // namespace zorvan::emu
