// What only the Windows build does: the Oracle home from the registry and
// the DLL's version resource.
#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

#include "support/plugin_fixture.h"

namespace zorvan::test {
namespace {

const char kOracleKey[] = "SOFTWARE\\ORACLE";

void remove_oracle_home() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOracleKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, "ORACLE_HOME");
    RegCloseKey(key);
  }
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kOracleKey);
}

void store_oracle_home(const void *bytes, DWORD size, DWORD type = REG_SZ) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kOracleKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "ORACLE_HOME", 0, type, static_cast<const BYTE *>(bytes), size),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

class Windows : public PluginTest {
 protected:
  std::string oracle_home() { return host().call(171, {}, emu::ResultKind::String).result_text; }
};

TEST_F(Windows, OracleHomeComesFromTheRegistry) {
  remove_oracle_home();
  EXPECT_EQ(oracle_home(), "Not found");

  const char home[] = "C:\\oracle\\product\\client_1";
  store_oracle_home(home, sizeof home);
  EXPECT_EQ(oracle_home(), home);

  // A value that does not fit the 1024-byte buffer, and one that fills it
  // without a terminating NUL, are not read past the buffer.
  std::string too_long(1100, 'h');
  store_oracle_home(too_long.c_str(), static_cast<DWORD>(too_long.size() + 1));
  EXPECT_EQ(oracle_home(), "Not found");
  std::string unterminated(1024, 'u');
  store_oracle_home(unterminated.data(), 1024, REG_BINARY);
  EXPECT_EQ(oracle_home(), "Not found");
  remove_oracle_home();
}

TEST(WindowsDll, CarriesItsVersionResource) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(ZORVAN_PLUGIN_FILE, &ignored);
  ASSERT_GT(size, 0u);
  std::string block(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoA(ZORVAN_PLUGIN_FILE, 0, size, block.data()));
  VS_FIXEDFILEINFO *fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void **>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00020000u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00020000u);
  char *name = nullptr;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\ProductName",
                             reinterpret_cast<void **>(&name), &length));
  EXPECT_STREQ(name, "ZorvanOCI");
}

}  // namespace
}  // namespace zorvan::test
