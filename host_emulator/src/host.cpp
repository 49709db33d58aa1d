#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "zorvan_host.h"

namespace zorvan::emu {
namespace {

Host *g_current = nullptr;  // the host whose callback the plug-in holds

template <class T>
T load(const void *at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <class T>
void store(void *at, T value) {
  std::memcpy(at, &value, sizeof value);
}

void *address(int32_t word) { return reinterpret_cast<void *>(static_cast<uintptr_t>(static_cast<uint32_t>(word))); }
int32_t word_of(const void *p) { return static_cast<int32_t>(reinterpret_cast<uintptr_t>(p)); }

// Splits a name into its scope: the byte 0xD7 or "<>" in front marks the
// prefixed scope.
std::string strip_prefix(const std::string &name, bool *prefixed) {
  *prefixed = false;
  if (name.size() >= 2 && static_cast<uint8_t>(name[0]) == abi::kNamePrefixByte) {
    *prefixed = true;
    return name.substr(1);
  }
  if (name.size() >= 3 && name[0] == '<' && name[1] == '>') {
    *prefixed = true;
    return name.substr(2);
  }
  return name;
}

}  // namespace

uint8_t ansi_to_host(uint8_t c) { return c < 0x80 ? c : static_cast<uint8_t>(c ^ 0x40); }
uint8_t host_to_ansi(uint8_t c) { return c < 0x80 ? c : static_cast<uint8_t>(c ^ 0x40); }

std::string to_host(const std::string &ansi) {
  std::string out = ansi;
  for (char &c : out) c = static_cast<char>(ansi_to_host(static_cast<uint8_t>(c)));
  return out;
}

std::string to_ansi(const std::string &host) {
  std::string out = host;
  for (char &c : out) c = static_cast<char>(host_to_ansi(static_cast<uint8_t>(c)));
  return out;
}

// ---- Parameters -------------------------------------------------------------

Param long_param(int32_t value) {
  Param p;
  p.kind = Param::Long;
  p.long_value = value;
  return p;
}
Param real_param(double value) {
  Param p;
  p.kind = Param::Real;
  p.real_value = value;
  return p;
}
Param date_param(int16_t day, int16_t month, int16_t year) {
  Param p;
  p.kind = Param::Date;
  p.date[0] = day;
  p.date[1] = month;
  p.date[2] = year;
  return p;
}
Param string_param(const std::string &ansi) {
  Param p;
  p.kind = Param::String;
  p.text = ansi;
  return p;
}
Param text_param(const std::string &ansi) {
  Param p;
  p.kind = Param::Text;
  p.text = ansi;
  return p;
}
Param blob_param(const std::string &bytes) {
  Param p;
  p.kind = Param::Blob;
  p.text = bytes;
  return p;
}
Param blob_handle_param(uint32_t handle) {
  Param p;
  p.kind = Param::Blob;
  p.long_value = static_cast<int32_t>(handle);
  return p;
}
Param variable_param(const std::string &name, int32_t element, uint8_t scope) {
  Param p;
  p.kind = Param::VariableRef;
  p.name = name;
  p.element = element;
  p.scope = scope;
  return p;
}
Param raw_param(std::vector<uint8_t> storage) {
  Param p;
  p.kind = Param::Raw;
  p.raw = std::move(storage);
  return p;
}

int32_t CallResult::long_at(int i) const { return load<int32_t>(storage.at(i - 1).data()); }
double CallResult::real_at(int i) const { return load<double>(storage.at(i - 1).data()); }
std::string CallResult::string_at(int i) const {
  const auto &s = storage.at(i - 1);
  return to_ansi(std::string(reinterpret_cast<const char *>(s.data()) + 1, s[0]));
}
void CallResult::date_at(int i, int16_t *day, int16_t *month, int16_t *year) const {
  const auto &s = storage.at(i - 1);
  *day = load<int16_t>(s.data());
  *month = load<int16_t>(s.data() + 2);
  *year = load<int16_t>(s.data() + 4);
}
uint32_t CallResult::handle_at(int i) const { return load<uint32_t>(storage.at(i - 1).data()); }

// ---- Memory handles ---------------------------------------------------------

// A handle is the address of `data`: the cell that holds the data's address.
struct Host::Block {
  uint8_t *data = nullptr;
  uint32_t size = 0;
  int locks = 0;
  bool asked_by_plugin = false;  // made by a request for a new memory handle
  ~Block() { std::free(data); }
};

Host::Block *Host::block(uint32_t handle) const {
  auto it = blocks_.find(handle);
  return it == blocks_.end() ? nullptr : it->second.get();
}

uint32_t Host::new_handle(uint32_t size) {
  auto b = std::make_unique<Block>();
  b->data = static_cast<uint8_t *>(std::calloc(size == 0 ? 1 : size, 1));
  b->size = size;
  uint32_t handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&b->data));
  blocks_[handle] = std::move(b);
  return handle;
}

bool Host::handle_live(uint32_t handle) const { return block(handle) != nullptr; }
size_t Host::live_handles() const { return blocks_.size(); }

size_t Host::plugin_handles() const {
  size_t n = 0;
  for (const auto &entry : blocks_) n += entry.second->asked_by_plugin ? 1 : 0;
  return n;
}

std::string Host::handle_bytes(uint32_t handle) const {
  Block *b = block(handle);
  return b ? std::string(reinterpret_cast<char *>(b->data), b->size) : std::string();
}

std::string Host::handle_text(uint32_t handle) const { return to_ansi(handle_bytes(handle)); }

uint32_t Host::text_handle(const std::string &ansi) {
  std::string host = to_host(ansi);
  uint32_t handle = new_handle(static_cast<uint32_t>(host.size()));
  std::memcpy(block(handle)->data, host.data(), host.size());
  return handle;
}

void Host::on_memory(abi::HostCallRecord &r) {
  ++memory_counts_[r.word_a];
  switch (r.word_a) {
    case abi::kMemNew:
      ++new_handle_requests_;
      r.handle = r.word_b < 0 || refuse_new_handles_ || over_limit(static_cast<uint32_t>(r.word_b)) ||
                         new_handle_requests_ == fail_new_handle_at_
                     ? 0
                     : new_handle(static_cast<uint32_t>(r.word_b));
      if (Block *b = block(r.handle)) b->asked_by_plugin = true;
      return;
    case abi::kMemDispose: {
      uint32_t handle = r.handle;  // a packed field: copied before binding a reference
      auto it = blocks_.find(handle);
      if (it == blocks_.end()) return faults_.push_back("dispose of an unknown handle");
      // The cell stays reserved, so a disposed handle's number never comes back.
      std::free(it->second->data);
      it->second->data = nullptr;
      retired_.push_back(std::move(it->second));
      blocks_.erase(it);
      return;
    }
    case abi::kMemSetSize: {
      Block *b = block(r.handle);
      if (b == nullptr || r.word_b < 0) {
        r.status = -1;
        return;
      }
      auto size = static_cast<uint32_t>(r.word_b);
      if (over_limit(size)) {
        r.status = -108;  // the memory is full
        return;
      }
      auto *data = static_cast<uint8_t *>(std::realloc(b->data, size == 0 ? 1 : size));
      if (data == nullptr) {
        r.status = -108;
        return;
      }
      if (size > b->size) std::memset(data + b->size, 0, size - b->size);
      b->data = data;
      b->size = size;
      r.status = 0;
      return;
    }
    case abi::kMemGetSize: {
      Block *b = block(r.handle);
      r.word_b = b ? static_cast<int32_t>(b->size) : 0;
      return;
    }
    case abi::kMemLock: {
      Block *b = block(r.handle);
      if (b == nullptr) {
        faults_.push_back("lock of an unknown handle");
        r.word_c = 0;
        return;
      }
      ++b->locks;
      r.word_c = word_of(b->data);
      return;
    }
    case abi::kMemUnlock: {
      Block *b = block(r.handle);
      if (b == nullptr || b->locks == 0) {
        faults_.push_back("unlock of a handle that is not locked");
        return;
      }
      --b->locks;
      return;
    }
    default:
      faults_.push_back("unknown memory operation");
  }
}

// ---- Text transfer ----------------------------------------------------------

void Host::on_text(abi::HostCallRecord &r) {
  if (r.word_b == 0) {  // handle forms
    switch (r.word_a) {
      case abi::kTextFromHandle:
      case abi::kBytesFromHandle: {
        Block *b = block(r.handle);
        if (b == nullptr) {
          faults_.push_back("transfer from an unknown handle");
          r.word_d = 0;
          return;
        }
        if (shrink_after_ > 0 && ++handle_reads_ > shrink_after_ && b->size > shrink_size_) b->size = shrink_size_;
        if (r.word_c != 0) {
          auto *dest = static_cast<uint8_t *>(address(r.word_c));
          for (uint32_t i = 0; i < b->size; ++i)
            dest[i] = r.word_a == abi::kTextFromHandle ? host_to_ansi(b->data[i]) : b->data[i];
        }
        r.word_d = static_cast<int32_t>(b->size);
        return;
      }
      case abi::kTextToHandle:
      case abi::kBytesToHandle: {
        auto length = static_cast<uint32_t>(r.word_d);
        if (r.word_a == abi::kTextToHandle && text_limit_ != 0 && length > text_limit_)
          length = text_limit_;
        uint32_t handle = new_handle(length);
        const auto *src = static_cast<const uint8_t *>(address(r.word_c));
        for (uint32_t i = 0; i < length; ++i)
          block(handle)->data[i] = r.word_a == abi::kTextToHandle ? ansi_to_host(src[i]) : src[i];
        r.handle = handle;
        if (r.word_a == abi::kTextToHandle) r.word_d = static_cast<int32_t>(length);
        return;
      }
      default:
        faults_.push_back("unknown text operation");
        return;
    }
  }
  // String forms: word B the pair of forms, word A the translation.
  const auto *src = static_cast<const uint8_t *>(address(r.word_c));
  auto *dest = static_cast<uint8_t *>(address(r.word_d));
  if (src == nullptr || dest == nullptr) {
    faults_.push_back("string transfer without an address");
    return;
  }
  std::string chars;
  if (r.word_b == abi::kPrefixedToPrefixed || r.word_b == abi::kPrefixedToZstr) {
    chars.assign(reinterpret_cast<const char *>(src) + 1, src[0]);
  } else {
    chars.assign(reinterpret_cast<const char *>(src), strnlen(reinterpret_cast<const char *>(src), 255));
  }
  if (r.word_a == abi::kTextFromHandle) chars = to_ansi(chars);
  else if (r.word_a == abi::kTextToHandle) chars = to_host(chars);
  if (r.word_b == abi::kPrefixedToPrefixed || r.word_b == abi::kZstrToPrefixed) {
    dest[0] = static_cast<uint8_t>(chars.size());
    std::memcpy(dest + 1, chars.data(), chars.size());
  } else {
    std::memcpy(dest, chars.data(), chars.size());
    dest[chars.size()] = 0;
  }
}

// ---- Variables ---------------------------------------------------------------

std::map<std::string, Variable> &Host::scope_of(const std::string &name, std::string *key) {
  bool prefixed;
  *key = strip_prefix(name, &prefixed);
  return prefixed ? prefixed_ : plain_;
}

const std::map<std::string, Variable> &Host::scope_of(const std::string &name,
                                                      std::string *key) const {
  bool prefixed;
  *key = strip_prefix(name, &prefixed);
  return prefixed ? prefixed_ : plain_;
}

const Variable *Host::lookup(const uint8_t *prefixed_host_name, bool prefixed_scope) const {
  std::string name = to_ansi(std::string(reinterpret_cast<const char *>(prefixed_host_name) + 1,
                                         prefixed_host_name[0]));
  const auto &scope = prefixed_scope ? prefixed_ : plain_;
  auto it = scope.find(name);
  return it == scope.end() ? nullptr : &it->second;
}

void Host::set_variable(const std::string &name, const Variable &value) {
  std::string key;
  scope_of(name, &key)[key] = value;
}

Variable Host::variable(const std::string &name) const {
  std::string key;
  const auto &scope = scope_of(name, &key);
  auto it = scope.find(key);
  if (it != scope.end()) return it->second;
  Variable undefined;
  undefined.bytes[0] = static_cast<uint8_t>(abi::kTagUndefined);
  return undefined;
}

bool Host::has_variable(const std::string &name) const {
  std::string key;
  return scope_of(name, &key).count(key) != 0;
}

void Host::set_long(const std::string &name, int32_t value) {
  Variable v;
  v.bytes[0] = static_cast<uint8_t>(abi::kTagLong);
  store(v.bytes + 2, value);
  set_variable(name, v);
}

void Host::set_real(const std::string &name, double value) {
  Variable v;
  v.bytes[0] = static_cast<uint8_t>(abi::kTagReal);
  store(v.bytes + 2, value);
  set_variable(name, v);
}

void Host::set_date(const std::string &name, int16_t day, int16_t month, int16_t year) {
  Variable v;
  v.bytes[0] = static_cast<uint8_t>(abi::kTagDate);
  store(v.bytes + 2, day);
  store(v.bytes + 4, month);
  store(v.bytes + 6, year);
  set_variable(name, v);
}

void Host::set_time(const std::string &name, int32_t seconds) {
  Variable v;
  v.bytes[0] = static_cast<uint8_t>(abi::kTagTime);
  store(v.bytes + 2, seconds);
  set_variable(name, v);
}

void Host::set_text(const std::string &name, const std::string &ansi) {
  Variable v;
  v.bytes[0] = static_cast<uint8_t>(abi::kTagText);
  uint32_t handle = text_handle(ansi);
  store(v.bytes + 2, static_cast<uint16_t>(ansi.size()));
  store(v.bytes + abi::kVarTextHandle, handle);
  set_variable(name, v);
}

void Host::set_string(const std::string &name, const std::string &ansi) {
  Variable v;
  v.bytes[0] = static_cast<uint8_t>(abi::kTagString);
  store(v.bytes + 2, abi::kStringCapacity);
  std::string host = to_host(ansi.substr(0, 255));
  v.bytes[4] = static_cast<uint8_t>(host.size());
  std::memcpy(v.bytes + 5, host.data(), host.size());
  set_variable(name, v);
}

void Host::set_short_string(const std::string &name, const std::string &ansi) {
  Variable v;
  v.bytes[0] = static_cast<uint8_t>(abi::kTagShortString);
  std::string host = to_host(ansi.substr(0, 255));
  v.bytes[2] = static_cast<uint8_t>(host.size());
  std::memcpy(v.bytes + 3, host.data(), host.size());
  set_variable(name, v);
}

void Host::set_blob(const std::string &name, const std::string &bytes) {
  Variable v;
  v.bytes[0] = static_cast<uint8_t>(abi::kTagBlob);
  uint32_t handle = new_handle(static_cast<uint32_t>(bytes.size()));
  std::memcpy(block(handle)->data, bytes.data(), bytes.size());
  store(v.bytes + 2, static_cast<uint32_t>(bytes.size()));
  store(v.bytes + abi::kVarBlobHandle, handle);
  set_variable(name, v);
}

uint32_t Host::array_handle(const std::string &name, uint32_t bytes, int8_t tag, int32_t n) {
  Variable v;
  v.bytes[0] = static_cast<uint8_t>(tag);
  uint32_t handle = new_handle(bytes);
  store(v.bytes + abi::kVarArrayCount, n);
  store(v.bytes + abi::kVarArrayHandle, handle);
  set_variable(name, v);
  return handle;
}

uint8_t *Host::array_data(const Variable &v) const {
  Block *b = block(load<uint32_t>(v.bytes + abi::kVarArrayHandle));
  return b ? b->data : nullptr;
}

// Arrays are given with their elements 0 to n, so n = size - 1.
void Host::set_long_array(const std::string &name, const std::vector<int32_t> &e) {
  uint32_t h = array_handle(name, static_cast<uint32_t>(e.size() * 4), abi::kTagLongArray,
                            static_cast<int32_t>(e.size()) - 1);
  if (!e.empty()) std::memcpy(block(h)->data, e.data(), e.size() * 4);
}

void Host::set_integer_array(const std::string &name, const std::vector<int16_t> &e) {
  uint32_t h = array_handle(name, static_cast<uint32_t>(e.size() * 2), abi::kTagIntegerArray,
                            static_cast<int32_t>(e.size()) - 1);
  if (!e.empty()) std::memcpy(block(h)->data, e.data(), e.size() * 2);
}

void Host::set_real_array(const std::string &name, const std::vector<double> &e) {
  uint32_t h = array_handle(name, static_cast<uint32_t>(e.size() * 8), abi::kTagRealArray,
                            static_cast<int32_t>(e.size()) - 1);
  if (!e.empty()) std::memcpy(block(h)->data, e.data(), e.size() * 8);
}

void Host::set_date_array(const std::string &name,
                          const std::vector<std::array<int16_t, 3>> &e) {
  uint32_t h = array_handle(name, static_cast<uint32_t>(e.size() * 6), abi::kTagDateArray,
                            static_cast<int32_t>(e.size()) - 1);
  for (size_t i = 0; i < e.size(); ++i) std::memcpy(block(h)->data + 6 * i, e[i].data(), 6);
}

void Host::set_text_array(const std::string &name, const std::vector<std::string> &ansi) {
  std::vector<uint32_t> handles;
  for (const auto &t : ansi) handles.push_back(text_handle(t));
  uint32_t h = array_handle(name, static_cast<uint32_t>(ansi.size() * 6), abi::kTagTextArray,
                            static_cast<int32_t>(ansi.size()) - 1);
  for (size_t i = 0; i < ansi.size(); ++i) {
    store(block(h)->data + 6 * i, static_cast<uint16_t>(ansi[i].size()));
    store(block(h)->data + 6 * i + 2, handles[i]);
  }
}

void Host::set_string_array(const std::string &name, const std::vector<std::string> &ansi,
                            uint16_t element_size) {
  uint32_t h = array_handle(name, static_cast<uint32_t>(2 + ansi.size() * element_size),
                            abi::kTagStringArray, static_cast<int32_t>(ansi.size()) - 1);
  store(block(h)->data, element_size);
  // Each element holds its length byte and at most element_size - 1 (and
  // 255) characters; an element size of 0 holds nothing.
  if (element_size == 0) return;
  size_t room = std::min<size_t>(element_size - 1u, 255);
  for (size_t i = 0; i < ansi.size(); ++i) {
    std::string host = to_host(ansi[i].substr(0, room));
    uint8_t *at = block(h)->data + 2 + element_size * i;
    at[0] = static_cast<uint8_t>(host.size());
    std::memcpy(at + 1, host.data(), host.size());
  }
}

void Host::set_boolean_array(const std::string &name, const std::vector<bool> &e) {
  uint32_t h = array_handle(name, static_cast<uint32_t>((e.size() + 7) / 8), abi::kTagBooleanArray,
                            static_cast<int32_t>(e.size()) - 1);
  for (size_t i = 0; i < e.size(); ++i)
    if (e[i]) block(h)->data[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
}

int32_t Host::get_long(const std::string &name) const {
  Variable v = variable(name);
  return v.tag() == abi::kTagLong ? load<int32_t>(v.bytes + 2) : 0;
}

double Host::get_real(const std::string &name) const {
  Variable v = variable(name);
  return v.tag() == abi::kTagReal ? load<double>(v.bytes + 2) : 0.0;
}

std::string Host::get_text(const std::string &name) const {
  Variable v = variable(name);
  if (v.tag() != abi::kTagText) return {};
  return handle_text(load<uint32_t>(v.bytes + abi::kVarTextHandle));
}

std::string Host::get_string(const std::string &name) const {
  Variable v = variable(name);
  size_t at = v.tag() == abi::kTagString ? 4 : v.tag() == abi::kTagShortString ? 2 : 0;
  if (at == 0) return {};
  return to_ansi(std::string(reinterpret_cast<const char *>(v.bytes) + at + 1, v.bytes[at]));
}

std::string Host::get_blob(const std::string &name) const {
  Variable v = variable(name);
  if (v.tag() != abi::kTagBlob) return {};
  return handle_bytes(load<uint32_t>(v.bytes + abi::kVarBlobHandle));
}

namespace {
template <class T>
std::vector<T> elements(const uint8_t *data, const Variable &v) {
  int32_t n = load<int32_t>(v.bytes + abi::kVarArrayCount);
  std::vector<T> out;
  if (data == nullptr) return out;
  for (int32_t i = 0; i <= n; ++i) out.push_back(load<T>(data + sizeof(T) * i));
  return out;
}
}  // namespace

std::vector<int32_t> Host::get_long_array(const std::string &name) const {
  Variable v = variable(name);
  return elements<int32_t>(array_data(v), v);
}

std::vector<int16_t> Host::get_integer_array(const std::string &name) const {
  Variable v = variable(name);
  return elements<int16_t>(array_data(v), v);
}

std::vector<double> Host::get_real_array(const std::string &name) const {
  Variable v = variable(name);
  return elements<double>(array_data(v), v);
}

std::vector<std::string> Host::get_text_array(const std::string &name) const {
  Variable v = variable(name);
  std::vector<std::string> out;
  const uint8_t *data = array_data(v);
  int32_t n = load<int32_t>(v.bytes + abi::kVarArrayCount);
  for (int32_t i = 0; data && i <= n; ++i)
    out.push_back(handle_text(load<uint32_t>(data + 6 * i + 2)));
  return out;
}

uint32_t Host::text_handle_of_element(const std::string &name, int32_t i) const {
  Variable v = variable(name);
  const uint8_t *data = array_data(v);
  return data ? load<uint32_t>(data + 6 * i + 2) : 0;
}

std::vector<std::string> Host::get_string_array(const std::string &name) const {
  Variable v = variable(name);
  std::vector<std::string> out;
  const uint8_t *data = array_data(v);
  int32_t n = load<int32_t>(v.bytes + abi::kVarArrayCount);
  if (data == nullptr) return out;
  uint16_t size = load<uint16_t>(data);
  for (int32_t i = 0; i <= n; ++i) {
    const uint8_t *at = data + 2 + size * i;
    out.push_back(to_ansi(std::string(reinterpret_cast<const char *>(at) + 1, at[0])));
  }
  return out;
}

std::vector<bool> Host::get_boolean_array(const std::string &name) const {
  Variable v = variable(name);
  std::vector<bool> out;
  const uint8_t *data = array_data(v);
  int32_t n = load<int32_t>(v.bytes + abi::kVarArrayCount);
  for (int32_t i = 0; data && i <= n; ++i) out.push_back((data[i / 8] >> (i % 8)) & 1);
  return out;
}

std::vector<uint8_t> Host::reference_bytes(const std::string &name, int32_t element,
                                           uint8_t scope) const {
  std::vector<uint8_t> ref(abi::kReferenceSize, 0);
  bool prefixed;
  std::string key = to_host(strip_prefix(name, &prefixed).substr(0, 31));
  ref[abi::kRefKind] = 1;
  ref[abi::kRefScope] = prefixed ? 2 : scope;
  ref[abi::kRefName] = static_cast<uint8_t>(key.size());
  std::memcpy(ref.data() + abi::kRefName + 1, key.data(), key.size());
  store(ref.data() + abi::kRefElement, element);
  return ref;
}

// ---- Methods and flags ---------------------------------------------------------

int32_t Host::add_method(const std::string &name, Method method) {
  auto id = static_cast<int32_t>(method_ids_.size() + 1);
  method_ids_[name] = id;
  methods_[id] = std::move(method);
  return id;
}

void Host::add_method_with_id(const std::string &name, int32_t id, Method method) {
  method_ids_[name] = id;
  methods_[id] = std::move(method);
}

void Host::set_indirect_variable_mode(bool on) {
  flags_ = on ? (flags_ | abi::kIndirectVariableMode) : (flags_ & ~abi::kIndirectVariableMode);
}

int Host::callbacks(int32_t entry_code) const {
  auto it = callback_counts_.find(entry_code);
  return it == callback_counts_.end() ? 0 : it->second;
}

int Host::memory_ops(int32_t op) const {
  auto it = memory_counts_.find(op);
  return it == memory_counts_.end() ? 0 : it->second;
}

void Host::reset_counts() {
  callback_counts_.clear();
  memory_counts_.clear();
  pieces_ = 0;
}

// ---- The callback ----------------------------------------------------------------

void __cdecl Host::callback(int32_t entry_code, void *record) {
  if (g_current == nullptr || record == nullptr) return;
  g_current->on_call(entry_code, *static_cast<abi::HostCallRecord *>(record));
}

void Host::on_call(int32_t entry_code, abi::HostCallRecord &r) {
  ++callback_counts_[entry_code];
  switch (entry_code) {
    case abi::kEntryMemory:
      return on_memory(r);
    case abi::kEntryText:
      return on_text(r);
    case abi::kEntryVariableGet: {
      const auto *ref = static_cast<const uint8_t *>(address(r.word_a));
      auto *out = static_cast<uint8_t *>(address(static_cast<int32_t>(r.handle)));
      if (ref == nullptr || out == nullptr) return faults_.push_back("variable get without an address");
      if (ref[abi::kRefKind] != 1) return;  // numbered references name nothing here
      if (const Variable *v = lookup(ref + abi::kRefName, ref[abi::kRefScope] == 2))
        std::memcpy(out, v->bytes, sizeof v->bytes);
      return;
    }
    case abi::kEntryVariableSet: {
      const auto *ref = static_cast<const uint8_t *>(address(r.word_a));
      const auto *in = static_cast<const uint8_t *>(address(static_cast<int32_t>(r.handle)));
      if (ref == nullptr || in == nullptr) return faults_.push_back("variable set without an address");
      if (ref[abi::kRefKind] != 1) return;
      std::string name = to_ansi(std::string(reinterpret_cast<const char *>(ref) + abi::kRefName + 1,
                                             ref[abi::kRefName]));
      auto &scope = ref[abi::kRefScope] == 2 ? prefixed_ : plain_;
      std::memcpy(scope[name].bytes, in, abi::kHostVariableSize);
      return;
    }
    case abi::kEntryVariableByName:
    case abi::kEntryVariableByPrefixedName: {
      auto *out = static_cast<uint8_t *>(address(static_cast<int32_t>(r.handle)));
      if (out == nullptr) return faults_.push_back("variable by name without a buffer");
      if (const Variable *v = lookup(r.name, entry_code == abi::kEntryVariableByPrefixedName))
        std::memcpy(out, v->bytes, sizeof v->bytes);
      return;
    }
    case abi::kEntryEnvironmentFlags:
      r.word_a = static_cast<int32_t>(flags_);
      return;
    case abi::kEntryMethodId: {
      std::string name = to_ansi(std::string(reinterpret_cast<const char *>(r.name) + 1, r.name[0]));
      auto it = method_ids_.find(name);
      if (it != method_ids_.end()) r.word_a = it->second;
      return;
    }
    case abi::kEntryCallMethod: {
      Block *b = block(r.handle);
      int32_t n = r.word_b;
      if (b == nullptr || n < 0 || b->size < (static_cast<uint32_t>(n) + 1) * abi::kHostVariableSize)
        return faults_.push_back("method call with a bad argument block");
      MethodCall call{r.word_a, {}};
      for (int32_t i = 1; i <= n; ++i) {
        Variable v;
        std::memcpy(v.bytes, b->data + i * abi::kHostVariableSize, abi::kHostVariableSize);
        call.arguments.push_back(v);
      }
      method_calls_.push_back(call);
      auto it = methods_.find(r.word_a);
      if (it == methods_.end() || !it->second) return;
      // The method may call the plug-in again; look the block up afresh after.
      uint32_t handle = r.handle;
      Variable result = it->second(call.arguments);
      if (Block *after = block(handle)) std::memcpy(after->data, result.bytes, sizeof result.bytes);
      return;
    }
    case abi::kEntryPieceNotify:
      ++pieces_;
      return;
    default:
      faults_.push_back("unknown entry code " + std::to_string(entry_code));
  }
}

// ---- Calling the plug-in -----------------------------------------------------------

Host::Host(abi::PackEntry entry) : entry_(entry) { g_current = this; }

Host::~Host() {
  if (g_current == this) g_current = nullptr;
}

uint32_t Host::initialize(int32_t event) {
  g_current = this;
  std::memset(init_record_, 0, sizeof init_record_);
  init_record_[abi::kInitCallbackWord] =
      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&Host::callback));
  entry_(event, init_record_, 0, nullptr);
  return init_record_[abi::kInitReplyWord];
}

int32_t Host::event(int32_t selector) {
  g_current = this;
  return entry_(selector, nullptr, 0, nullptr);
}

void Host::dispose_handle(uint32_t handle) {
  auto it = blocks_.find(handle);
  if (it == blocks_.end()) return;
  std::free(it->second->data);
  it->second->data = nullptr;
  retired_.push_back(std::move(it->second));
  blocks_.erase(it);
}

bool Host::load_manifest(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream text;
  text << in.rdbuf();
  const std::string json = text.str();
  // The manifest's shape is fixed: each command object opens with its
  // selector and lists its parameters' kinds in order before the next one.
  manifest_.clear();
  const std::string selector_key = "\"selector\": ", kind_key = "\"kind\": \"";
  size_t at = json.find(selector_key);
  while (at != std::string::npos) {
    size_t next = json.find(selector_key, at + 1);
    int32_t selector = std::atoi(json.c_str() + at + selector_key.size());
    std::vector<std::string> kinds;
    for (size_t k = json.find(kind_key, at); k != std::string::npos && k < next; k = json.find(kind_key, k + 1)) {
      size_t start = k + kind_key.size();
      kinds.push_back(json.substr(start, json.find('"', start) - start));
    }
    manifest_[selector] = std::move(kinds);
    at = next;
  }
  return !manifest_.empty();
}

void Host::check_call(int32_t selector, const std::vector<Param> &params) const {
  if (!manifest_checks_) return;
  auto it = manifest_.find(selector);
  if (it == manifest_.end()) return;
  const std::vector<std::string> &kinds = it->second;
  std::string where = "selector " + std::to_string(selector) + ": ";
  if (params.size() != kinds.size())
    throw std::invalid_argument(where + std::to_string(params.size()) + " parameters given, the manifest has " +
                                std::to_string(kinds.size()));
  static const char *const names[] = {"long", "real", "date", "string", "text", "blob", "variable", "raw"};
  for (size_t i = 0; i < params.size(); ++i) {
    if (params[i].kind == Param::Raw || kinds[i] == "any") continue;
    if (kinds[i] != names[params[i].kind])
      throw std::invalid_argument(where + "P" + std::to_string(i + 1) + " is a " + names[params[i].kind] +
                                  ", the manifest says " + kinds[i]);
  }
}

CallResult Host::call(int32_t selector, const std::vector<Param> &params, ResultKind kind,
                      int32_t preset) {
  check_call(selector, params);
  g_current = this;
  CallResult out;
  out.host = this;
  // Each parameter's storage, at a stable address for the call.
  std::vector<std::vector<uint8_t>> storage(params.size());
  std::vector<std::vector<uint8_t>> references(params.size());
  std::vector<uint32_t> pointer_words(params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    const Param &p = params[i];
    auto &s = storage[i];
    switch (p.kind) {
      case Param::Long:
        s.resize(4);
        store(s.data(), p.long_value);
        break;
      case Param::Real:
        s.resize(8);
        store(s.data(), p.real_value);
        break;
      case Param::Date:
        s.resize(6);
        std::memcpy(s.data(), p.date, 6);
        break;
      case Param::String: {
        s.assign(256, 0);
        std::string host = to_host(p.text.substr(0, 255));
        s[0] = static_cast<uint8_t>(host.size());
        std::memcpy(s.data() + 1, host.data(), host.size());
        break;
      }
      case Param::Text:
        s.resize(6);
        store(s.data(), static_cast<uint16_t>(p.text.size()));
        store(s.data() + 2, text_handle(p.text));
        break;
      case Param::Blob: {
        s.resize(4);
        auto handle = static_cast<uint32_t>(p.long_value);  // a handle the test holds, or none
        if (!p.text.empty()) {
          handle = new_handle(static_cast<uint32_t>(p.text.size()));
          std::memcpy(block(handle)->data, p.text.data(), p.text.size());
        }
        store(s.data(), handle);
        break;
      }
      case Param::VariableRef:
        references[i] = reference_bytes(p.name, p.element, p.scope);
        if (flags_ & abi::kIndirectVariableMode) {
          pointer_words[i] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(references[i].data()));
          s.assign(abi::kHostVariableSize, 0);
          s[0] = static_cast<uint8_t>(abi::kTagPointer);
          store(s.data() + abi::kVarPointerTarget, &pointer_words[i]);
        } else {
          s = references[i];
        }
        break;
      case Param::Raw:
        s = p.raw;
        break;
    }
  }
  std::vector<void *> block_pointers(params.size());
  for (size_t i = 0; i < params.size(); ++i)
    block_pointers[i] = storage[i].empty() ? nullptr : storage[i].data();

  uint8_t result_string[256] = {};
  uint8_t slot[8] = {};
  if (kind == ResultKind::String) {
    store(slot, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(result_string)));
  } else {
    store(slot, preset);
  }
  out.returned = entry_(selector, block_pointers.empty() ? nullptr : block_pointers.data(), 0, slot);
  out.result = load<int32_t>(slot);
  if (kind == ResultKind::String)
    out.result_text = to_ansi(std::string(reinterpret_cast<char *>(result_string) + 1, result_string[0]));
  out.storage = std::move(storage);
  return out;
}

}  // namespace zorvan::emu
