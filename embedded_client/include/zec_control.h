// The embedded client's control interface: what a test can ask of the
// client that no real Oracle client offers. Its names cannot clash with OCI's.
#pragma once

#include <cstdint>

#include "cdecl.h"

extern "C" {

// When a scripted status is returned.
enum ZecScriptWhen {
  ZEC_INSTEAD = 0,  // the call does nothing and returns the status
  ZEC_AFTER = 1,    // the call does its work, then returns the status
};

// Forgets every recorded call and script; recording stays as it was.
void __cdecl zec_reset(void);
// Turns the recording of calls on (non-zero) or off.
void __cdecl zec_record(int on);
// How many calls were recorded.
int __cdecl zec_call_count(void);
// Call `index` (from 0): its function name into `name` (NUL-terminated, cut
// to name_size) and up to args_size argument words into `args` (each
// argument as a 32-bit word). Returns the argument count, -1 for no call.
int __cdecl zec_call(int index, char *name, int name_size, uint32_t *args, int args_size);
// How many recorded calls went to `function`.
int __cdecl zec_count_of(const char *function);
// The next call of `function` returns `status`, instead of or after its work.
void __cdecl zec_script(const char *function, int32_t status, int when);
// The next call of `function` does its work, then writes `value` (its low
// `size` bytes: 1, 2 or 4) through its pointer argument `argument` (from
// 0): a client answering more or less than it was asked, to prove that a
// caller bounds what OCI gives it. A null pointer argument is left alone.
void __cdecl zec_script_out(const char *function, int argument, uint32_t value, int size);
// The next piece handed to a dynamic define's callback reports `extra`
// bytes more than were written (and than its room): a client ignoring the
// callback's room, to prove that the caller bounds what it counts.
void __cdecl zec_script_piece_length(uint32_t extra);
// Handles and descriptors currently allocated, environments included.
int __cdecl zec_live_handles(void);
// Runs one SQL statement on the session of a service context, under the
// same transaction rules as a statement. 0, or the ORA code it failed with.
int __cdecl zec_execute(void *svchp, const char *sql);
// The first column of the first row a query gives, as text, in `value`
// (cut to size; empty for no row or NULL). 0, or the ORA code.
int __cdecl zec_query(void *svchp, const char *sql, char *value, int size);
// A variable of the operating system's environment as this library sees
// it: its length, with the value in `value` (cut to size), or -1 if unset.
int __cdecl zec_environment(const char *name, char *value, int size);

// Test-only: objects that no SQL type of the client makes yet, for tests
// and the demo to hand to the collection, REF and raw calls. A collection
// of OCINumber elements (limit 0: a nested table; above 0: a varray of that
// limit); a REF to the object named by up to 16 bytes of `object_id` (null:
// a null REF); a raw holding a copy of `size` bytes. Null when `envhp` is
// not an environment. zectest_free frees any of them.
void *__cdecl zectest_collection(void *envhp, int limit);
void *__cdecl zectest_ref(void *envhp, const char *object_id);
void *__cdecl zectest_raw(void *envhp, const void *bytes, unsigned size);
void __cdecl zectest_free(void *object);
// Test-only: frees every handle and descriptor still allocated, as a test
// ends (environments included, the plug-in's probe environment too).
void __cdecl zectest_free_handles(void);

typedef void(__cdecl *ZecResetFn)(void);
typedef void(__cdecl *ZecRecordFn)(int);
typedef int(__cdecl *ZecCallCountFn)(void);
typedef int(__cdecl *ZecCallFn)(int, char *, int, uint32_t *, int);
typedef int(__cdecl *ZecCountOfFn)(const char *);
typedef void(__cdecl *ZecScriptFn)(const char *, int32_t, int);
typedef void(__cdecl *ZecScriptOutFn)(const char *, int, uint32_t, int);
typedef void(__cdecl *ZecScriptPieceLengthFn)(uint32_t);
typedef int(__cdecl *ZecLiveHandlesFn)(void);
typedef int(__cdecl *ZecEnvironmentFn)(const char *, char *, int);
typedef int(__cdecl *ZecExecuteFn)(void *, const char *);
typedef int(__cdecl *ZecQueryFn)(void *, const char *, char *, int);
typedef void *(__cdecl *ZecTestCollectionFn)(void *, int);
typedef void *(__cdecl *ZecTestRefFn)(void *, const char *);
typedef void *(__cdecl *ZecTestRawFn)(void *, const void *, unsigned);
typedef void(__cdecl *ZecTestFreeFn)(void *);
typedef void(__cdecl *ZecTestFreeHandlesFn)(void);

}  // extern "C"
