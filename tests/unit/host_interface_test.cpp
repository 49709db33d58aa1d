// The host interface, tried directly against the host emulator: parameters,
// variables, arrays, names and methods, with their bounds.
#include <gtest/gtest.h>

#include <cstring>

#include "host/params.h"
#include "host/protocol.h"
#include "host/variables.h"
#include "support/memory.h"
#include "zorvan_host.h"

extern "C" int32_t __cdecl ZorvanPack(int32_t, void *, int32_t, void *);

namespace zorvan {
namespace {

class HostInterface : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(host.initialize(-200), abi::kInitReply); }
  void TearDown() override { EXPECT_TRUE(host.faults().empty()) << host.faults().front(); }

  HostVariable fetch(const std::string &name) {
    auto ref = host.reference_bytes(name);
    return host::variable_get(ref.data());
  }

  emu::Host host{&ZorvanPack};
};

std::vector<uint8_t> host_string(const std::string &ansi) {
  std::vector<uint8_t> s(256, 0);
  std::string chars = emu::to_host(ansi);
  s[0] = static_cast<uint8_t>(chars.size());
  std::memcpy(s.data() + 1, chars.data(), chars.size());
  return s;
}

TEST_F(HostInterface, StringParametersCrossInAndOutTranslated) {
  std::string longest(254, 'a');
  longest += '\xE9';
  auto storage = host_string(longest);
  void *block[] = {storage.data()};
  CommandCall call{block, nullptr, 0};
  host::ZString text;
  std::memset(text, 0x55, sizeof text);
  param_text(call, 1, text);
  EXPECT_EQ(std::string(text), longest);
  EXPECT_EQ(text[255], '\0');

  param_set_text(call, 1, "\xE0 la carte");
  EXPECT_EQ(storage[0], 10);
  EXPECT_EQ(storage[1], emu::ansi_to_host(0xE0));
  // A longer text than a host string holds arrives cut to 255 characters.
  std::string too_long(300, 'z');
  param_set_text(call, 1, too_long.c_str());
  EXPECT_EQ(storage[0], 255);
}

TEST_F(HostInterface, ParameterKindsReadAndWriteTheirStorage) {
  int32_t number = 41;
  double real = 2.5;
  int16_t date[3] = {29, 2, 2024};
  uint32_t blob = host.new_handle(3);
  void *block[] = {&number, &real, date, &blob};
  CommandCall call{block, nullptr, 0};
  EXPECT_EQ(param_long(call, 1), 41);
  param_set_long(call, 1, -7);
  EXPECT_EQ(number, -7);
  EXPECT_EQ(param_real(call, 2), 2.5);
  int16_t day = 0, month = 0, year = 0;
  param_date(call, 3, &day, &month, &year);
  EXPECT_EQ(day, 29);
  EXPECT_EQ(month, 2);
  EXPECT_EQ(year, 2024);
  param_date(call, 3, nullptr, nullptr, nullptr);
  // Setting the handle a BLOB parameter already holds keeps it; another one
  // replaces it and the old one is released.
  param_set_blob(call, 4, blob);
  EXPECT_TRUE(host.handle_live(blob));
  uint32_t other = host.new_handle(1);
  uint32_t first = blob;
  param_set_blob(call, 4, other);
  EXPECT_FALSE(host.handle_live(first));
  EXPECT_EQ(blob, other);
  EXPECT_EQ(param_blob(call, 4, {}), 1u);
  // A call without a parameter block reads 0.
  CommandCall empty{nullptr, nullptr, 0};
  EXPECT_EQ(param_long(empty, 1), 0);
}

TEST_F(HostInterface, TextReadsAreBoundedByTheBuffer) {
  std::string text(300, 't');
  text[0] = '\xC4';
  uint32_t handle = host.text_handle(text);
  uint8_t buffer[100];
  EXPECT_EQ(host::text_from_handle(handle, {}), 300u);
  EXPECT_EQ(host::text_from_handle(handle, buffer), 300u);
  EXPECT_EQ(buffer[0], 0xC4);
  EXPECT_EQ(buffer[99], 't');
  EXPECT_EQ(host::text_from_handle(0, buffer), 0u);
}

TEST_F(HostInterface, IndirectVariablesGoThroughPointerRecords) {
  host.set_long("counter", 12);
  auto ref = host.reference_bytes("counter");
  uint32_t word = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ref.data()));
  uint8_t pointer[8] = {abi::kTagPointer, 0};
  uint32_t word_address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&word));
  std::memcpy(pointer + 2, &word_address, 4);
  void *block[] = {pointer, ref.data()};
  CommandCall call{block, nullptr, 0};

  EXPECT_EQ(param_variable(call, 2), ref.data());
  host.set_indirect_variable_mode(true);
  EXPECT_EQ(param_variable(call, 1), ref.data());
  EXPECT_EQ(variable_long(host::variable_get(param_variable(call, 1))), 12);
  pointer[0] = abi::kTagLong;
  EXPECT_EQ(param_variable(call, 1), nullptr);
  EXPECT_EQ(variable_tag(host::variable_get(nullptr)), abi::kTagUndefined);
}

TEST_F(HostInterface, NamePrefixesChooseTheLookup) {
  uint8_t one[] = {1, 0xD7};
  EXPECT_EQ(host::strip_name_prefix(one), 0);
  uint8_t two[] = {2, '<', '>'};
  EXPECT_EQ(host::strip_name_prefix(two), 0);
  uint8_t marked[] = {3, 0xD7, 'a', 'b'};
  EXPECT_EQ(host::strip_name_prefix(marked), 1);
  EXPECT_EQ(marked[0], 2);
  EXPECT_EQ(marked[1], 'a');
  uint8_t angled[] = {4, '<', '>', 'x', 'y'};
  EXPECT_EQ(host::strip_name_prefix(angled), 2);
  EXPECT_EQ(angled[0], 2);
  EXPECT_EQ(angled[2], 'y');
  uint8_t long_name[200] = {150, '<', '>', 'z'};
  EXPECT_EQ(host::strip_name_prefix(long_name), 0);

  host.set_long("total", 1);
  host.set_long("<>total", 2);
  host.reset_counts();
  EXPECT_EQ(variable_long(host::variable_by_name("total")), 1);
  EXPECT_EQ(host.callbacks(abi::kEntryVariableByName), 1);
  EXPECT_EQ(variable_long(host::variable_by_name("<>total")), 2);
  EXPECT_EQ(host.callbacks(abi::kEntryVariableByPrefixedName), 1);
  EXPECT_EQ(variable_tag(host::variable_by_name("<>")), abi::kTagUndefined);
  EXPECT_EQ(host.callbacks(abi::kEntryVariableByName), 2);

  // In indirect mode the name arrives as a host string.
  host.set_indirect_variable_mode(true);
  uint8_t prefixed_name[] = {6, '<', '>', 't', 'o', 't', 'a', 'l'};
  prefixed_name[0] = 7;
  EXPECT_EQ(variable_long(host::variable_by_name(prefixed_name)), 2);
}

TEST_F(HostInterface, MethodsReceiveTheirArgumentsInABlock) {
  int32_t id = host.add_method("Twice", [](std::span<const emu::Variable> args) {
    emu::Variable result;
    result.bytes[0] = abi::kTagLong;
    int32_t value;
    std::memcpy(&value, args[1].bytes + 2, 4);
    value *= 2;
    std::memcpy(result.bytes + 2, &value, 4);
    return result;
  });
  EXPECT_EQ(host::method_id("Twice"), id);
  EXPECT_EQ(host::method_id("Nobody"), -1);

  HostVariable args[2] = {};
  make_long(args[0], 5);
  make_long(args[1], 21);
  size_t live = host.live_handles();
  HostVariable result = host::call_method(id, args);
  EXPECT_EQ(variable_long(result), 42);
  EXPECT_EQ(host.live_handles(), live);
  ASSERT_EQ(host.method_calls().size(), 1u);
  EXPECT_EQ(host.method_calls()[0].arguments.size(), 2u);
}

TEST_F(HostInterface, ArrayElementsRunFromZeroToN) {
  host.set_long_array("longs", {10, 11, 12, 13});  // n = 3
  HostVariable longs = fetch("longs");
  EXPECT_EQ(array_size(longs), 3);
  EXPECT_EQ(array_get_long(longs, 0), 10);
  EXPECT_EQ(array_get_long(longs, 3), 13);
  EXPECT_EQ(array_get_long(longs, 4), 0);
  EXPECT_EQ(array_get_long(longs, -1), 0);
  array_set_long(longs, 3, 99);
  array_set_long(longs, 4, 77);
  array_set_long(longs, -1, 77);
  EXPECT_EQ(host.get_long_array("longs"), (std::vector<int32_t>{10, 11, 12, 99}));

  host.set_integer_array("ints", {1, 2});
  array_set_integer(fetch("ints"), 1, -5);
  EXPECT_EQ(array_get_integer(fetch("ints"), 1), -5);
  host.set_real_array("reals", {0.5, 1.5});
  array_set_real(fetch("reals"), 0, 3.25);
  EXPECT_EQ(array_get_real(fetch("reals"), 0), 3.25);
  host.set_date_array("dates", {{{1, 1, 2000}}, {{31, 12, 1999}}});
  int16_t d, m, y;
  array_get_date(fetch("dates"), 1, &d, &m, &y);
  EXPECT_EQ(d, 31);
  EXPECT_EQ(y, 1999);
  array_get_date(fetch("dates"), 2, &d, &m, &y);
  EXPECT_EQ(d, 0);

  host.set_long("single", 4);
  EXPECT_EQ(array_size(fetch("single")), -1);
  EXPECT_EQ(array_get_long(fetch("single"), 0), 0);
}

TEST_F(HostInterface, BooleanAndStringElementsSitWhereTheHostKeepsThem) {
  host.set_boolean_array("flags", std::vector<bool>(16, false));
  array_set_boolean(fetch("flags"), 9, 1);
  auto flags = host.get_boolean_array("flags");
  EXPECT_TRUE(flags[9]);
  EXPECT_TRUE(array_get_boolean(fetch("flags"), 9));
  HostVariable v = fetch("flags");
  uint32_t handle;
  std::memcpy(&handle, v.bytes + abi::kVarArrayHandle, 4);
  EXPECT_EQ(static_cast<uint8_t>(host.handle_bytes(handle)[1]), 0x02);
  array_set_boolean(fetch("flags"), 9, 0);
  EXPECT_FALSE(host.get_boolean_array("flags")[9]);

  host.set_string_array("names", {"a", "b", "c"}, 33);
  HostVariable names = fetch("names");
  EXPECT_EQ(string_array_element_size(names), 33);
  array_set_string(names, 2, "\xE9t\xE9");
  std::memcpy(&handle, names.bytes + abi::kVarArrayHandle, 4);
  std::string data = host.handle_bytes(handle);
  EXPECT_EQ(data[68], 3);  // element 2 starts at 2 + 33 * 2
  EXPECT_EQ(host.get_string_array("names")[2], "\xE9t\xE9");
  host::ZString read;
  array_get_string(names, 2, read);
  EXPECT_STREQ(read, "\xE9t\xE9");
  // A string longer than its element is cut to fit it.
  array_set_string(names, 1, std::string(60, 'q').c_str());
  EXPECT_EQ(host.get_string_array("names")[1], std::string(32, 'q'));
  EXPECT_EQ(host.get_string_array("names")[2], "\xE9t\xE9");
}

TEST_F(HostInterface, TextElementsReleaseTheTextTheyReplace) {
  host.set_text_array("texts", {"zero", "one"});
  HostVariable texts = fetch("texts");
  uint32_t old_handle = host.text_handle_of_element("texts", 1);
  array_set_text(texts, 1, nullptr, 0);
  EXPECT_EQ(host.text_handle_of_element("texts", 1), old_handle);

  const std::string replacement = "na\xEFve";
  array_set_text(texts, 1, reinterpret_cast<const uint8_t *>(replacement.data()),
                 static_cast<uint32_t>(replacement.size()));
  EXPECT_FALSE(host.handle_live(old_handle));
  EXPECT_EQ(host.get_text_array("texts")[1], replacement);
  uint8_t buffer[16];
  EXPECT_EQ(array_get_text(fetch("texts"), 1, buffer), replacement.size());
  EXPECT_EQ(std::string(reinterpret_cast<char *>(buffer), replacement.size()), replacement);
  array_set_text(texts, 2, buffer, 1);  // beyond n = 1
  EXPECT_EQ(host.get_text_array("texts").size(), 2u);
}

TEST_F(HostInterface, MakersFillEveryKind) {
  HostVariable v{};
  make_string(v, "s\xE9");
  host::ZString text;
  variable_string(v, &text);
  EXPECT_STREQ(text, "s\xE9");
  uint16_t capacity;
  std::memcpy(&capacity, v.bytes + 2, 2);
  EXPECT_EQ(capacity, 256);

  const std::string chars = "\xC0\xC1";
  uint32_t length = 2;
  make_text(v, reinterpret_cast<const uint8_t *>(chars.data()), length);
  uint8_t buffer[4];
  EXPECT_EQ(variable_text(v, buffer), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(buffer), 2), chars);

  make_blob(v, reinterpret_cast<const uint8_t *>("\x80\x81"), 2);
  EXPECT_EQ(variable_blob(v, buffer), 2u);
  EXPECT_EQ(buffer[0], 0x80);  // bytes cross untranslated

  make_date(v, 3, 4, 2025);
  int16_t d = 0, m = 0, y = 0;
  variable_date(v, &d, &m, &y);
  EXPECT_EQ(y, 2025);
  make_time(v, 3661);
  EXPECT_EQ(variable_time(v), 3661);
  EXPECT_EQ(variable_long(v), 0);
  make_real(v, -1.5);
  EXPECT_EQ(variable_real(v), -1.5);
}

TEST_F(HostInterface, ReferencesNameVariables) {
  host.set_long("<>shared", 8);
  host.set_long_array("list", {1, 2, 3});
  auto ref_bytes = host.reference_bytes("<>shared");
  VariableReference *copy = reference_copy(ref_bytes.data(), nullptr);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(reference_kind(copy), 0);
  int32_t element = -1;
  EXPECT_EQ(variable_long(variable_from_reference(copy, &element)), 8);
  EXPECT_EQ(element, 0);

  auto list_ref = host.reference_bytes("list", 2);
  VariableReference local;
  reference_copy(list_ref.data(), &local);
  HostVariable list = variable_from_reference(&local, &element);
  EXPECT_EQ(element, 2);
  EXPECT_EQ(array_get_long(list, element), 3);

  local.bytes[0] = 0;
  int16_t first = 0, second = 0;
  std::memcpy(local.bytes + 2, "\x05\x00\x07\x00", 4);
  EXPECT_EQ(reference_kind(&local), 2);
  EXPECT_EQ(reference_numbers(&local, &first, &second), 5);
  EXPECT_EQ(first, 7);
  EXPECT_EQ(second, 5);
  EXPECT_EQ(variable_tag(variable_from_reference(&local, &element)), abi::kTagUndefined);
  EXPECT_EQ(reference_kind(nullptr), -1);
  EXPECT_EQ(reference_copy(nullptr, &local), nullptr);
  plugin_free(copy);
}

}  // namespace
}  // namespace zorvan
