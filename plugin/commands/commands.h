// The command handlers, one family to a source file. Each takes the
// CommandCall; a handler that serves several selectors also takes the
// selector to choose its OCI function.
#pragma once

#include <cstdint>

#include "entry/command_call.h"

namespace zorvan {

// Environments, handles and descriptors.
void command_env_create(const CommandCall &call) noexcept;        // 55
void command_terminate(const CommandCall &call) noexcept;         // 56
void command_handle_alloc(const CommandCall &call) noexcept;      // 53
void command_handle_free(const CommandCall &call) noexcept;       // 52
void command_descriptor_alloc(const CommandCall &call) noexcept;  // 60
void command_descriptor_free(const CommandCall &call) noexcept;   // 59

// Attributes, parameter descriptors and describe.
void command_attr_get(const CommandCall &call) noexcept;        // 67
void command_attr_set(const CommandCall &call) noexcept;        // 65
void command_attr_get_text(const CommandCall &call) noexcept;   // 68
void command_attr_set_text(const CommandCall &call) noexcept;   // 66
void command_param_get(const CommandCall &call) noexcept;       // 27
void command_param_set(const CommandCall &call) noexcept;       // 26
void command_describe_any(const CommandCall &call, int32_t selector) noexcept;  // 57, 58

// Servers, sessions, transactions, durations and error records.
void command_server_attach(const CommandCall &call) noexcept;    // 24
void command_server_detach(const CommandCall &call) noexcept;    // 23
void command_session_begin(const CommandCall &call) noexcept;    // 21
void command_session_end(const CommandCall &call) noexcept;      // 20
void command_logon(const CommandCall &call) noexcept;            // 28
void command_logoff(const CommandCall &call) noexcept;           // 29
void command_password_change(const CommandCall &call) noexcept;  // 25
void command_error_get(const CommandCall &call) noexcept;        // 54
void command_trans_start(const CommandCall &call) noexcept;      // 10
void command_trans_end(const CommandCall &call, int32_t selector) noexcept;  // 11 to 15
void command_server_version(const CommandCall &call) noexcept;   // 22
void command_break_or_reset(const CommandCall &call, int32_t selector) noexcept;  // 62, 9
void command_duration_begin(const CommandCall &call) noexcept;   // 8
void command_duration_end(const CommandCall &call) noexcept;     // 7

// Statements: prepare, bind, define, execute and fetch.
void command_stmt_prepare(const CommandCall &call) noexcept;              // 16
void command_stmt_execute(const CommandCall &call) noexcept;              // 19
void command_stmt_fetch(const CommandCall &call) noexcept;                // 18
void command_bind(const CommandCall &call, int32_t selector) noexcept;    // 64, 63, 173, 172
void command_define(const CommandCall &call, int32_t selector) noexcept;  // 61, 174
void command_get_bind_info(const CommandCall &call) noexcept;             // 17

// LOBs and BFILEs.
void command_lob_read(const CommandCall &call) noexcept;                          // 32
void command_lob_write(const CommandCall &call) noexcept;                         // 30
void command_lob_write_append(const CommandCall &call) noexcept;                  // 1
void command_lob_size(const CommandCall &call, int32_t selector) noexcept;        // 36, 3
void command_lob_trim(const CommandCall &call) noexcept;                          // 31
void command_lob_erase(const CommandCall &call) noexcept;                         // 41
void command_lob_append(const CommandCall &call) noexcept;                        // 47
void command_lob_copy(const CommandCall &call, int32_t selector) noexcept;        // 44, 34
void command_lob_assign(const CommandCall &call) noexcept;                        // 46
void command_lob_charset(const CommandCall &call, int32_t selector) noexcept;     // 6, 45
void command_lob_plain(const CommandCall &call, int32_t selector) noexcept;       // 42, 43, 4, 39
void command_lob_flush(const CommandCall &call) noexcept;                         // 37
void command_lob_create_temporary(const CommandCall &call) noexcept;              // 5
void command_lob_env_flag(const CommandCall &call, int32_t selector) noexcept;    // 2, 33
void command_lob_is_equal(const CommandCall &call) noexcept;                      // 35
void command_lob_file_set_name(const CommandCall &call) noexcept;                 // 48
void command_lob_file_get_name(const CommandCall &call) noexcept;                 // 51
void command_lob_file_open(const CommandCall &call) noexcept;                     // 49
void command_lob_file_close_all(const CommandCall &call) noexcept;                // 40
void command_lob_file_flag(const CommandCall &call, int32_t selector) noexcept;   // 38, 50

// Collections, iterators, nested tables, REFs, raw values and the cache.
void command_coll_append(const CommandCall &call) noexcept;                        // 169
void command_coll_assign(const CommandCall &call) noexcept;                        // 168
void command_coll_assign_elem(const CommandCall &call) noexcept;                   // 167
void command_coll_get_elem(const CommandCall &call) noexcept;                      // 166
void command_coll_max(const CommandCall &call) noexcept;                           // 165
void command_coll_size(const CommandCall &call, int32_t selector) noexcept;        // 164, 170
void command_coll_trim(const CommandCall &call) noexcept;                          // 163
void command_iter_create(const CommandCall &call) noexcept;                        // 154
void command_iter_delete(const CommandCall &call) noexcept;                        // 153
void command_iter_get_current(const CommandCall &call) noexcept;                   // 152
void command_iter_init(const CommandCall &call) noexcept;                          // 151
void command_iter_step(const CommandCall &call, int32_t selector) noexcept;        // 150, 149
void command_table_delete(const CommandCall &call) noexcept;                       // 111
void command_table_exists(const CommandCall &call) noexcept;                       // 110
void command_table_end(const CommandCall &call, int32_t selector) noexcept;        // 109, 108
void command_table_step(const CommandCall &call, int32_t selector) noexcept;       // 107, 106
void command_ref_assign(const CommandCall &call) noexcept;                         // 118
void command_ref_clear(const CommandCall &call) noexcept;                          // 117
void command_ref_from_hex(const CommandCall &call) noexcept;                       // 116
void command_ref_query(const CommandCall &call, int32_t selector) noexcept;        // 115, 114, 113
void command_ref_to_hex(const CommandCall &call) noexcept;                         // 112
void command_raw_alloc_size(const CommandCall &call) noexcept;                     // 124
void command_raw_assign_bytes(const CommandCall &call) noexcept;                   // 123
void command_raw_assign_raw(const CommandCall &call) noexcept;                     // 122
void command_raw_to_blob(const CommandCall &call) noexcept;                        // 121
void command_raw_resize(const CommandCall &call) noexcept;                         // 120
void command_raw_size(const CommandCall &call) noexcept;                           // 119
void command_cache_flush(const CommandCall &call) noexcept;                        // 102
void command_cache_refresh(const CommandCall &call) noexcept;                      // 100
void command_cache_all(const CommandCall &call, int32_t selector) noexcept;        // 98, 99, 101

// Numbers and dates.
void command_number_two(const CommandCall &call, int32_t selector) noexcept;      // 148 128 133 142 132 134 144
void command_number_one(const CommandCall &call, int32_t selector) noexcept;      // 127 129 130 135 137-139 141 143 145-147
void command_number_integer(const CommandCall &call, int32_t selector) noexcept;  // 125 131 136
void command_number_to_text(const CommandCall &call) noexcept;                    // 126
void command_number_from_text(const CommandCall &call) noexcept;                  // 140
void command_date_sys_date(const CommandCall &call) noexcept;                     // 157
void command_date_add(const CommandCall &call, int32_t selector) noexcept;        // 161, 162
void command_date_last_day(const CommandCall &call) noexcept;                     // 159
void command_date_next_day(const CommandCall &call) noexcept;                     // 158
void command_date_zone_to_zone(const CommandCall &call) noexcept;                 // 155
void command_date_from_text(const CommandCall &call) noexcept;                    // 160
void command_date_to_text(const CommandCall &call) noexcept;                      // 156

}  // namespace zorvan
