#include "client/oci_fixture.h"

#include <cstdlib>

#if defined(_WIN32)
#  define WIN32_LEAN_AND_MEAN
#  include <windows.h>
#else
#  include <unistd.h>
#endif

namespace zorvan::client_test {

std::string fresh_directory() {
#if defined(_WIN32)
  char base[MAX_PATH];
  char name[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  if (GetTempFileNameA(base, "zct", 0, name) == 0) return base;
  DeleteFileA(name);
  CreateDirectoryA(name, nullptr);
  return name;
#else
  char name[] = "/tmp/zorvan-client-XXXXXX";
  return mkdtemp(name) ? name : "/tmp";
#endif
}

void set_environment(const char *name, const std::string &value) {
#if defined(_WIN32)
  SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
  _putenv((std::string(name) + "=" + value).c_str());
#else
  if (value.empty()) unsetenv(name);
  else setenv(name, value.c_str(), 1);
#endif
}

void Oci::SetUp() {
  directory = fresh_directory();
  set_environment("ZEC_DB_DIR", directory);
  ASSERT_EQ(OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr), OCI_SUCCESS);
  ASSERT_EQ(OCIHandleAlloc(env, reinterpret_cast<void **>(&err), OCI_HTYPE_ERROR, 0, nullptr), OCI_SUCCESS);
  svc = logon();
  ASSERT_NE(svc, nullptr);
}

void Oci::TearDown() {
  if (svc) logoff(svc);
  if (env) OCIHandleFree(env, OCI_HTYPE_ENV);
}

OCISvcCtx *Oci::logon() {
  OCISvcCtx *s = nullptr;
  sword status = OCILogon(env, err, &s, reinterpret_cast<const OraText *>("zorvan"), 6,
                          reinterpret_cast<const OraText *>("zorvan"), 6, reinterpret_cast<const OraText *>(""), 0);
  EXPECT_EQ(status, OCI_SUCCESS) << error_text();
  return status == OCI_SUCCESS ? s : nullptr;
}

void Oci::logoff(OCISvcCtx *s) { EXPECT_EQ(OCILogoff(s, err), OCI_SUCCESS); }

sb4 Oci::error_code(OCIError *e) {
  sb4 code = 0;
  char text[1024];
  if (OCIErrorGet(e ? e : err, 1, nullptr, &code, reinterpret_cast<OraText *>(text), sizeof text, OCI_HTYPE_ERROR) !=
      OCI_SUCCESS)
    return 0;
  return code;
}

std::string Oci::error_text(OCIError *e) {
  sb4 code = 0;
  char text[1024] = {};
  if (OCIErrorGet(e ? e : err, 1, nullptr, &code, reinterpret_cast<OraText *>(text), sizeof text, OCI_HTYPE_ERROR) !=
      OCI_SUCCESS)
    return "";
  return text;
}

OCIStmt *Oci::prepare(const std::string &sql) {
  OCIStmt *st = nullptr;
  EXPECT_EQ(OCIHandleAlloc(env, reinterpret_cast<void **>(&st), OCI_HTYPE_STMT, 0, nullptr), OCI_SUCCESS);
  EXPECT_EQ(OCIStmtPrepare(st, err, reinterpret_cast<const OraText *>(sql.data()), static_cast<ub4>(sql.size()),
                           OCI_NTV_SYNTAX, OCI_DEFAULT),
            OCI_SUCCESS);
  return st;
}

sword Oci::run(const std::string &sql, OCISvcCtx *s) {
  OCIStmt *st = prepare(sql);
  ub2 type = 0;
  OCIAttrGet(st, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
  sword status = OCIStmtExecute(s ? s : svc, st, err, type == OCI_STMT_SELECT ? 0 : 1, 0, nullptr, nullptr, OCI_DEFAULT);
  free(st);
  return status;
}

void Oci::ok(const std::string &sql, OCISvcCtx *s) {
  sword status = run(sql, s);
  EXPECT_TRUE(status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) << sql << ": " << error_text();
}

sb4 Oci::fails(const std::string &sql, OCISvcCtx *s) {
  OCIStmt *st = prepare(sql);
  ub2 type = 0;
  OCIAttrGet(st, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
  free(st);
  // A query's rows are computed as they are fetched: its errors show then.
  if (type == OCI_STMT_SELECT) {
    std::string result = rows(sql, s);
    return result.find("error: ") != std::string::npos ? error_code() : 0;
  }
  sword status = run(sql, s);
  if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) return 0;
  return error_code();
}

std::string Oci::rows(const std::string &sql, OCISvcCtx *s) {
  OCIStmt *st = prepare(sql);
  if (OCIStmtExecute(s ? s : svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT) != OCI_SUCCESS) {
    std::string e = "error: " + error_text();
    free(st);
    return e;
  }
  ub4 columns = 0;
  OCIAttrGet(st, OCI_HTYPE_STMT, &columns, nullptr, OCI_ATTR_PARAM_COUNT, err);
  std::vector<std::vector<char>> buffers(columns, std::vector<char>(4001));
  std::vector<sb2> indicators(columns);
  for (ub4 i = 0; i < columns; ++i) {
    OCIDefine *d = nullptr;
    OCIDefineByPos(st, &d, err, i + 1, buffers[i].data(), 4001, SQLT_STR, &indicators[i], nullptr, nullptr,
                   OCI_DEFAULT);
  }
  std::string out;
  for (;;) {
    sword status = OCIStmtFetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
    if (status == OCI_NO_DATA) break;
    if (status != OCI_SUCCESS && status != OCI_SUCCESS_WITH_INFO) {
      out += "error: " + error_text();
      break;
    }
    if (!out.empty()) out += ";";
    for (ub4 i = 0; i < columns; ++i) {
      if (i) out += "|";
      out += indicators[i] == -1 ? std::string("<null>") : std::string(buffers[i].data());
    }
  }
  free(st);
  return out;
}

namespace {

std::string upper_words(const std::string &line) {
  std::string u;
  for (char c : line) u += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  size_t start = u.find_first_not_of(" \t");
  return start == std::string::npos ? "" : u.substr(start);
}

// A statement that SQL*Plus reads up to a '/' line: PL/SQL.
bool is_plsql(const std::string &first_line) {
  std::string u = upper_words(first_line);
  if (u.rfind("DECLARE", 0) == 0 || u.rfind("BEGIN", 0) == 0) return true;
  if (u.rfind("CREATE", 0) != 0) return false;
  for (const char *kind : {" PROCEDURE ", " FUNCTION ", " TRIGGER ", " PACKAGE ", " TYPE "})
    if ((u + " ").find(kind) != std::string::npos) return true;
  return false;
}

}  // namespace

int Oci::script(const std::string &text) {
  int count = 0;
  std::string statement;
  bool plsql = false;
  auto flush = [&] {
    ok(statement);
    ++count;
    statement.clear();
  };
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    std::string trimmed = line;
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\r')) trimmed.pop_back();
    if (statement.empty() && (upper_words(trimmed).empty() || upper_words(trimmed).rfind("--", 0) == 0)) continue;
    if (upper_words(trimmed) == "/") {
      if (!statement.empty()) flush();
      plsql = false;
      continue;
    }
    if (statement.empty()) plsql = is_plsql(trimmed);
    if (!statement.empty()) statement += "\n";
    statement += line;
    if (!plsql && !trimmed.empty() && trimmed.back() == ';') {
      statement.erase(statement.find_last_of(';'));
      flush();
    }
  }
  if (!upper_words(statement).empty()) flush();
  return count;
}

std::string Oci::one(const std::string &sql, OCISvcCtx *s) {
  std::string all = rows(sql, s);
  if (all.empty()) return "<none>";
  size_t end = all.find_first_of("|;");
  return end == std::string::npos || all.rfind("error:", 0) == 0 ? all : all.substr(0, end);
}

}  // namespace zorvan::client_test
