// The byte layouts and codes of the Zorvan host protocol: what crosses
// between the host and a plug-in. Pure contract, shared by the plug-in and
// the host emulator; no logic lives here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cdecl.h"

namespace zorvan::abi {

// The exported entry and the host callback, both cdecl.
using PackEntry = int32_t(__cdecl *)(int32_t selector, void *parameters, int32_t data,
                                     void *result);
using HostCallback = void(__cdecl *)(int32_t entry_code, void *record);

// Events -200 and -1 pass a HostInitRecord: an array of 32-bit words.
inline constexpr int kInitCallbackWord = 3;  // the host callback
inline constexpr int kInitReplyWord = 4;     // the plug-in writes kInitReply here
inline constexpr uint32_t kInitReply = 0x660;

// Host entry codes.
inline constexpr int32_t kEntryMemory = -434;
inline constexpr int32_t kEntryText = -424;
inline constexpr int32_t kEntryVariableGet = -585;
inline constexpr int32_t kEntryVariableSet = -586;
inline constexpr int32_t kEntryVariableByName = -19;
inline constexpr int32_t kEntryVariableByPrefixedName = -125;
inline constexpr int32_t kEntryEnvironmentFlags = -56;
inline constexpr int32_t kEntryCallMethod = -118;
inline constexpr int32_t kEntryMethodId = -117;
inline constexpr int32_t kEntryPieceNotify = -93;

// Operations of kEntryMemory, in word A.
enum MemoryOp : int32_t {
  kMemNew = 1,
  kMemDispose = 2,
  kMemSetSize = 3,
  kMemGetSize = 4,
  kMemLock = 5,
  kMemUnlock = 6,
};

// Operations of kEntryText, in word A. The handle forms put 0 in word B; the
// string form names its pair of string forms in word B.
enum TextOp : int32_t {
  kTextFromHandle = 2,   // host characters -> ANSI; also "translate host to ANSI" for strings
  kTextToHandle = 3,     // ANSI -> host characters; also "translate ANSI to host" for strings
  kBytesFromHandle = 4,  // unchanged bytes; also "no translation" for strings
  kBytesToHandle = 5,
};
enum StringForms : int32_t {
  kPrefixedToPrefixed = 1,
  kPrefixedToZstr = 2,
  kZstrToPrefixed = 3,
  kZstrToZstr = 4,
};

// Bit 27 of the environment flags: variables reached through pointer records.
inline constexpr uint32_t kIndirectVariableMode = 0x08000000u;

// The 404-byte packed record of every host callback call.
#pragma pack(push, 1)
struct HostCallRecord {
  uint8_t unused0[10];
  uint8_t name[256];  // length-prefixed: name[0] = n, name[1..n] the characters
  uint32_t handle;    // offset 266, not aligned
  int16_t status;     // 270
  int32_t word_a;     // 272
  int32_t word_b;     // 276
  int32_t word_c;     // 280
  int32_t word_d;     // 284
  uint8_t unused1[116];
};
#pragma pack(pop)
static_assert(sizeof(HostCallRecord) == 404);
static_assert(offsetof(HostCallRecord, name) == 10);
static_assert(offsetof(HostCallRecord, handle) == 266);
static_assert(offsetof(HostCallRecord, status) == 270);
static_assert(offsetof(HostCallRecord, word_a) == 272);
static_assert(offsetof(HostCallRecord, word_b) == 276);
static_assert(offsetof(HostCallRecord, word_c) == 280);
static_assert(offsetof(HostCallRecord, word_d) == 284);

// A host variable: 260 bytes, type tag in byte 0, value from byte 2.
inline constexpr size_t kHostVariableSize = 260;
enum VariableTag : int8_t {
  kTagShortString = 0,
  kTagReal = 1,
  kTagText = 2,
  kTagDate = 4,
  kTagUndefined = 5,
  kTagSix = 6,
  kTagEight = 8,
  kTagLong = 9,
  kTagTime = 11,
  kTagArrayFirst = 13,
  kTagRealArray = 14,
  kTagIntegerArray = 15,
  kTagLongArray = 16,
  kTagDateArray = 17,
  kTagTextArray = 18,
  kTagStringArray = 21,
  kTagBooleanArray = 22,
  kTagArrayLast = 22,
  kTagPointer = 23,
  kTagString = 24,
  kTagBlob = 30,
};

// Byte offsets inside a HostVariable.
inline constexpr size_t kVarValue = 2;          // start of every value
inline constexpr size_t kVarTextHandle = 4;     // tag 2: handle after the 16-bit length
inline constexpr size_t kVarStringChars = 4;    // tag 24: after the 16-bit capacity
inline constexpr size_t kVarDateMonth = 4;      // tag 4
inline constexpr size_t kVarDateYear = 6;       // tag 4
inline constexpr size_t kVarBlobHandle = 6;     // tag 30: after the 32-bit size
inline constexpr size_t kVarArrayCount = 2;     // arrays: element count n (elements 0..n)
inline constexpr size_t kVarArrayHandle = 6;    // arrays: memory handle of the data
inline constexpr size_t kVarPointerTarget = 2;  // tag 23: address of the word holding the variable
inline constexpr uint16_t kStringCapacity = 256;

// Element widths of the arrays.
inline constexpr size_t kRealElement = 8;
inline constexpr size_t kIntegerElement = 2;
inline constexpr size_t kLongElement = 4;
inline constexpr size_t kDateElement = 6;
inline constexpr size_t kTextElement = 6;  // 16-bit length, then 32-bit text handle
inline constexpr size_t kStringArrayHeader = 2;  // 16-bit element size, then the elements

// A variable reference: 42 bytes.
inline constexpr size_t kReferenceSize = 42;
inline constexpr size_t kRefKind = 0;     // 1: named variable; 0: two numbers
inline constexpr size_t kRefScope = 1;    // 2: look up with kEntryVariableByPrefixedName
inline constexpr size_t kRefName = 2;     // kind 1: length-prefixed name, at most 31 characters
inline constexpr size_t kRefNameSize = 32;
inline constexpr size_t kRefNumber1 = 2;  // kind 0: first 16-bit number
inline constexpr size_t kRefNumber2 = 4;  // kind 0: second 16-bit number
inline constexpr size_t kRefElement = 34; // kind 1: the designated array element
inline constexpr uint8_t kNamePrefixByte = 0xD7;

}  // namespace zorvan::abi
