// A program written against Oracle's OCI, run on the embedded client: each
// test gets a fresh database directory, an environment, an error handle and
// a logged-on service context, and helpers that do what OCI programs do.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "oci.h"

namespace zorvan::client_test {

// A new, empty directory for a test's databases.
std::string fresh_directory();
void set_environment(const char *name, const std::string &value);

class Oci : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A second logon to the same database.
  OCISvcCtx *logon();
  void logoff(OCISvcCtx *svc);

  // The error record OCIErrorGet reads: its code, and its text.
  sb4 error_code(OCIError *e = nullptr);
  std::string error_text(OCIError *e = nullptr);

  OCIStmt *prepare(const std::string &sql);
  // Prepares and executes with iters 1 (0 for a query); the status.
  sword run(const std::string &sql, OCISvcCtx *svc = nullptr);
  // Runs it, expecting success.
  void ok(const std::string &sql, OCISvcCtx *svc = nullptr);
  // The ORA code it fails with (0 when it does not).
  sb4 fails(const std::string &sql, OCISvcCtx *svc = nullptr);
  // The first column of the first row as text, "<null>" for NULL, "<none>"
  // for no row.
  std::string one(const std::string &sql, OCISvcCtx *svc = nullptr);
  // All rows, columns joined with '|', rows with ';'.
  std::string rows(const std::string &sql, OCISvcCtx *svc = nullptr);
  // Runs a script as SQL*Plus reads one: a statement ends with ';' at the
  // end of a line, a PL/SQL unit or block with a line holding only '/'.
  // Every statement must succeed; the count run.
  int script(const std::string &text);
  void free(OCIStmt *st) { OCIHandleFree(st, OCI_HTYPE_STMT); }

  OCIEnv *env = nullptr;
  OCIError *err = nullptr;
  OCISvcCtx *svc = nullptr;
  std::string directory;
};

}  // namespace zorvan::client_test
