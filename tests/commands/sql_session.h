// A logged-on session through ZorvanPack, as a Zorvan program holds one:
// an environment, an error handle and a service context on a fresh
// database, and the statement commands as one-line helpers.
#pragma once

#include <string>

#include "oci.h"
#include "support/plugin_fixture.h"

namespace zorvan::test {

using emu::long_param;
using emu::string_param;
using emu::text_param;
using emu::variable_param;

class SqlSession : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    if (HasFatalFailure()) return;
    host().call(175, {string_param("ZEC_DB_DIR"), string_param(fresh_directory())});
    env = host().call(55, {long_param(0), long_param(OCI_DEFAULT)}).long_at(1);
    err = alloc(OCI_HTYPE_ERROR);
    auto r = host().call(28, {long_param(env), long_param(err), long_param(0), string_param("zorvan"),
                              string_param("zorvan"), string_param("")});
    ASSERT_EQ(r.result, OCI_SUCCESS);
    svc = r.long_at(3);
  }

  int32_t alloc(int32_t type) {
    auto r = host().call(53, {long_param(env), long_param(0), long_param(type)});
    EXPECT_EQ(r.result, OCI_SUCCESS);
    return r.long_at(2);
  }
  int32_t prepare(const std::string &sql) {
    int32_t st = alloc(OCI_HTYPE_STMT);
    EXPECT_EQ(host().call(16, {long_param(st), long_param(err), text_param(sql), long_param(OCI_DEFAULT)}).result,
              OCI_SUCCESS);
    return st;
  }
  int32_t execute(int32_t st, int32_t iters, int32_t rowoff = 0) {
    return host().call(19, {long_param(svc), long_param(st), long_param(err), long_param(iters), long_param(rowoff),
                            long_param(0), long_param(0), long_param(OCI_DEFAULT)})
        .result;
  }
  int32_t fetch(int32_t st, int32_t rows) {
    return host().call(18, {long_param(st), long_param(err), long_param(rows)}).result;
  }
  // SQL with no binds, run once.
  void sql(const std::string &text) {
    int32_t st = prepare(text);
    EXPECT_EQ(execute(st, 1), OCI_SUCCESS) << text;
  }
  static emu::Param none() { return variable_param("no_such_variable", -1); }
  static emu::Param whole(const std::string &name) { return variable_param(name, -1); }
  // Selector 63: a variable (or array) bound to a position.
  emu::CallResult bind(int32_t st, int32_t position, const emu::Param &value, int32_t dty,
                       const emu::Param &indicator = none(), int32_t mode = OCI_DEFAULT, int32_t output = 0) {
    return host().call(63, {long_param(st), long_param(0), long_param(err), long_param(position), value,
                            long_param(dty), indicator, none(), none(), long_param(mode), long_param(output)});
  }
  // Selector 61: a variable (or array) defined on a select-list position.
  emu::CallResult define(int32_t st, int32_t position, const emu::Param &value, int32_t dty,
                         const emu::Param &indicator = none(), int32_t mode = OCI_DEFAULT) {
    return host().call(61, {long_param(st), long_param(0), long_param(err), long_param(position), value,
                            long_param(dty), indicator, none(), none(), long_param(mode)});
  }
  std::string error_text() {
    auto r = host().call(54, {long_param(err), long_param(1), long_param(-7), string_param("x")});
    return r.string_at(4);
  }

  int32_t env = 0, err = 0, svc = 0;
};

}  // namespace zorvan::test
