// The plug-in's one entry: Zorvan calls ZorvanPack with a selector, the
// parameter block, its data word and the result slot.
#include <cstring>

#include "entry/command_call.h"
#include "entry/dispatch.h"
#include "host/protocol.h"

#if defined(_WIN32)
#  define WIN32_LEAN_AND_MEAN
#  include <windows.h>
#  define ZORVAN_EXPORT
#else
#  define ZORVAN_EXPORT __attribute__((visibility("default")))
#endif

namespace {

// Events -200 and -1 carry the host's init record: the callback in word 3,
// and word 4 for the reply.
void take_init_record(void *record) noexcept {
  if (record == nullptr) return;
  auto *words = static_cast<uint8_t *>(record);
  uint32_t callback_word;
  std::memcpy(&callback_word, words + 4 * zorvan::abi::kInitCallbackWord, sizeof callback_word);
  zorvan::host::set_callback(
      reinterpret_cast<zorvan::abi::HostCallback>(static_cast<uintptr_t>(callback_word)));
  uint32_t reply = zorvan::abi::kInitReply;
  std::memcpy(words + 4 * zorvan::abi::kInitReplyWord, &reply, sizeof reply);
}

}  // namespace

extern "C" ZORVAN_EXPORT int32_t __cdecl ZorvanPack(int32_t selector, void *parameters,
                                                    int32_t data, void *result) {
  zorvan::CommandCall call{parameters, result, data};
  if (selector == -200 || selector == -1) take_init_record(parameters);
  // Nothing below throws; the guard keeps that promise should it ever change.
  try {
    return zorvan::dispatch_command(selector, &call);
  } catch (...) {
    return 0;
  }
}

#if defined(_WIN32)
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#endif
