#include "support/messages.h"

#include <gtest/gtest.h>

#include <cstring>

#if defined(_WIN32)
#  define WIN32_LEAN_AND_MEAN
#  include <windows.h>
#endif

namespace zorvan::test {

#if defined(_WIN32)
namespace {

std::string g_messages;
bool g_plain = true;

int WINAPI recording_message_box(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  g_messages += text ? text : "";
  g_messages += "\n";
  if (owner != nullptr || caption != nullptr || type != MB_OK) g_plain = false;
  return IDOK;
}

// Points the module's import of dll!function at the replacement.
bool patch_import(HMODULE module, const char *dll, const char *function, void *replacement) {
  auto *base = reinterpret_cast<BYTE *>(module);
  auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
  auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY &directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  auto *import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + directory.VirtualAddress);
  for (; import->Name != 0; ++import) {
    if (_stricmp(reinterpret_cast<char *>(base + import->Name), dll) != 0) continue;
    auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(base + import->OriginalFirstThunk);
    auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + import->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto *by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char *>(by_name->Name), function) != 0) continue;
      DWORD old;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
      slots->u1.Function = static_cast<DWORD>(reinterpret_cast<uintptr_t>(replacement));
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
      return true;
    }
  }
  return false;
}

}  // namespace

const char *client_library_name() { return "OCI.dll"; }

MessageCapture::MessageCapture(const emu::Plugin &plugin) {
  g_messages.clear();
  g_plain = true;
  active_ = patch_import(static_cast<HMODULE>(plugin.module), "USER32.dll", "MessageBoxA",
                         reinterpret_cast<void *>(&recording_message_box));
  EXPECT_TRUE(active_) << "the plug-in does not import MessageBoxA";
}

MessageCapture::~MessageCapture() = default;
std::string MessageCapture::text() { return g_messages; }
bool MessageCapture::plain_boxes() const { return g_plain; }

#else

const char *client_library_name() { return "libclntsh.so"; }

MessageCapture::MessageCapture(const emu::Plugin &) {
  ::testing::internal::CaptureStderr();
  active_ = true;
}

MessageCapture::~MessageCapture() {
  if (active_) ::testing::internal::GetCapturedStderr();
}

std::string MessageCapture::text() {
  if (!active_) return {};
  active_ = false;
  return ::testing::internal::GetCapturedStderr();
}

bool MessageCapture::plain_boxes() const { return true; }

#endif

}  // namespace zorvan::test
