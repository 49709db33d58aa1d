// Writes the command reference (commands.md) and the manifest
// (ZorvanOCI.manifest.json) from the plug-in's command table, or checks that
// the committed copies are what the table gives.
//   command_reference --write DIR    writes both files into DIR
//   command_reference --check DIR    exits 1, naming the stale file, when
//                                    either differs
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "entry/command_table.h"

namespace {

using zorvan::CommandResult;
using zorvan::CommandRow;
using zorvan::StatusRule;

struct Param {
  std::string name, kind, direction, type;
};

std::vector<Param> params_of(const CommandRow &row) {
  std::vector<Param> params;
  std::string all = row.params;
  size_t at = 0;
  while (at < all.size()) {
    size_t end = all.find(", ", at);
    if (end == std::string::npos) end = all.size();
    std::string one = all.substr(at, end - at);
    at = end + 2;
    Param p;
    std::vector<std::string> fields;
    std::stringstream parts(one);
    for (std::string field; std::getline(parts, field, ':');) fields.push_back(field);
    if (fields.size() < 3) continue;
    p.name = fields[0];
    p.kind = fields[1];
    p.direction = fields[2];
    if (fields.size() > 3) p.type = fields[3];
    params.push_back(p);
  }
  return params;
}

const char *type_name(const std::string &code) {
  static const std::pair<const char *, const char *> names[] = {
      {"1", "environment"},     {"2", "error handle"},        {"3", "service context"},
      {"4", "statement"},       {"5", "bind"},                {"6", "define"},
      {"7", "describe handle"}, {"8", "server"},              {"9", "session"},
      {"11", "complex object"}, {"50", "LOB locator"},        {"53", "parameter descriptor"},
      {"55", "complex object component"}, {"56", "BFILE locator"},
  };
  for (auto &[number, name] : names)
    if (code == number) return name;
  return nullptr;
}

// "3 (service context)", "50 or 56 (LOB locator or BFILE locator)", "any registered type".
std::string registered_as(const std::string &type) {
  if (type.empty()) return "";
  if (type == "any") return "any registered type";
  std::string numbers, names;
  std::stringstream parts(type);
  for (std::string code; std::getline(parts, code, '/');) {
    numbers += (numbers.empty() ? "" : " or ") + code;
    const char *name = type_name(code);
    names += (names.empty() ? "" : " or ") + std::string(name ? name : "?");
  }
  return numbers + " (" + names + ")";
}

const char *result_text(CommandResult r) {
  switch (r) {
    case CommandResult::Status: return "status";
    case CommandResult::Value: return "value";
    case CommandResult::Text: return "text";
    case CommandResult::Blob: return "blob";
    case CommandResult::None: return "none";
  }
  return "";
}

const char *rule_text(StatusRule r) {
  switch (r) {
    case StatusRule::ErrorPath: return "error_path";
    case StatusRule::Result: return "result";
    case StatusRule::Silent: return "silent";
    case StatusRule::NoOci: return "no_oci";
  }
  return "";
}

std::string result_prose(const CommandRow &row) {
  switch (row.result) {
    case CommandResult::Status: return "the status: 0 (`OCI_SUCCESS`) or 1 (`OCI_SUCCESS_WITH_INFO`) on success";
    case CommandResult::Value: return "the value OCI gives";
    case CommandResult::Text: return "a string";
    case CommandResult::Blob: return "a new host BLOB";
    case CommandResult::None: return "never written";
  }
  return "";
}

std::string errors_prose(const CommandRow &row, const std::vector<Param> &params) {
  bool checks = false;
  for (const Param &p : params) checks = checks || !p.type.empty();
  std::string wrong = checks ? "A handle that is not registered as its parameter says: -2 (`OCI_INVALID_HANDLE`) "
                               "through the error path, and no OCI call. "
                             : "";
  switch (row.status) {
    case StatusRule::ErrorPath:
      return wrong + "A failure status calls the error-handler method with the status and the error handle, "
                     "then becomes the result.";
    case StatusRule::Result:
      return wrong + "OCI's status is the result as it stands; it never calls the error-handler method.";
    case StatusRule::Silent:
      return "On a wrong environment or a zero object nothing happens at all: no OCI call, no error path, "
             "the result as it was.";
    case StatusRule::NoOci:
      return "No OCI call.";
  }
  return "";
}

// A call in Zorvan's notation: $status:=OCI(24;$server;$error;"")
std::string example(const CommandRow &row, const std::vector<Param> &params) {
  std::string call = std::string(row.result == CommandResult::None ? "" : "$result:=") + "ZorvanOCI(" +
                     std::to_string(row.selector);
  for (const Param &p : params) {
    call += ";";
    if (p.kind == "string" && p.direction == "in") call += "\"" + p.name + "\"";
    else call += "$" + p.name;
  }
  return call + ")";
}

std::string escape_json(const std::string &s) {
  std::string out;
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string manifest() {
  std::string out = "{\n  \"plugin\": \"ZorvanOCI\",\n  \"version\": \"" ZORVAN_VERSION "\",\n  \"commands\": [\n";
  auto rows = zorvan::command_rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const CommandRow &row = rows[i];
    out += "    {\"selector\": " + std::to_string(row.selector) + ", \"command\": \"" + escape_json(row.command) +
           "\", \"family\": \"" + escape_json(row.family) + "\",\n     \"params\": [";
    auto params = params_of(row);
    for (size_t k = 0; k < params.size(); ++k) {
      const Param &p = params[k];
      out += std::string(k ? ", " : "") + "{\"name\": \"" + p.name + "\", \"kind\": \"" + p.kind +
             "\", \"direction\": \"" + p.direction + "\"" +
             (p.type.empty() ? "" : ", \"registry_type\": \"" + p.type + "\"") + "}";
    }
    out += "],\n     \"result\": \"" + std::string(result_text(row.result)) + "\", \"status_rule\": \"" +
           rule_text(row.status) + "\", \"registry\": \"" + escape_json(row.registry) + "\", \"source\": \"plugin/" +
           row.file + "\", \"handler\": \"" + row.handler + "\"}" + (i + 1 < rows.size() ? "," : "") + "\n";
  }
  return out + "  ]\n}\n";
}

std::string reference() {
  std::string out =
      "# ZorvanOCI command reference\n\n"
      "Generated from the plug-in's command table (`plugin/entry/command_table.cpp`); do not edit by hand.\n"
      "A Zorvan program calls each command by its selector with the parameters below, P1 first. Handles\n"
      "are longs holding what OCI gave; \"registered as\" names the type the plug-in's registry must hold\n"
      "for the handle, or the command is refused with -2 before OCI runs. Selectors 69 to 97 have no\n"
      "command and do nothing. Before the Oracle client has loaded, no command runs and the result keeps\n"
      "what the program put there.\n";
  // The families in the order a program meets them; any other after them.
  std::vector<std::string> families = {"Environments, handles and descriptors",
                                       "Attributes, parameters and describe",
                                       "Servers, sessions, transactions and errors",
                                       "Statements",
                                       "LOBs and BFILEs",
                                       "Collections, iterators, tables, REFs, raws and the object cache",
                                       "Numbers and dates",
                                       "Utilities"};
  for (const CommandRow &row : zorvan::command_rows()) {
    bool known = false;
    for (const auto &f : families) known = known || f == row.family;
    if (!known) families.push_back(row.family);
  }
  for (const std::string &family : families) {
    out += "\n## " + family + "\n";
    for (const CommandRow &row : zorvan::command_rows()) {
      if (family != row.family) continue;
      auto params = params_of(row);
      bool oci = std::string(row.command).rfind("OCI", 0) == 0;
      out += "\n### " + std::to_string(row.selector) + " " + (oci ? "`" + std::string(row.command) + "`"
                                                                   : std::string(row.command)) + "\n\n";
      out += std::string(row.summary) + "\n\n";
      if (params.empty()) {
        out += "No parameters.\n\n";
      } else {
        out += "| P | name | kind | direction | registered as |\n|---|---|---|---|---|\n";
        for (size_t k = 0; k < params.size(); ++k)
          out += "| " + std::to_string(k + 1) + " | " + params[k].name + " | " + params[k].kind + " | " +
                 params[k].direction + " | " + registered_as(params[k].type) + " |\n";
        out += "\n";
      }
      out += "Result: " + result_prose(row) + ". " + errors_prose(row, params) + "\n";
      if (*row.registry) out += "Registry: " + std::string(row.registry) + ".\n";
      out += "Code: `plugin/" + std::string(row.file) + "`, `" + row.handler + "`.\n\n";
      out += "    " + example(row, params) + "\n";
    }
  }
  return out;
}

bool same(const std::string &path, const std::string &text) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream got;
  got << in.rdbuf();
  return in.good() || in.eof() ? got.str() == text : false;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: command_reference --write|--check DIR\n");
    return 2;
  }
  std::string mode = argv[1], dir = argv[2];
  const std::pair<std::string, std::string> files[] = {{dir + "/commands.md", reference()},
                                                       {dir + "/ZorvanOCI.manifest.json", manifest()}};
  int stale = 0;
  for (const auto &[path, text] : files) {
    if (mode == "--write") {
      std::ofstream(path, std::ios::binary) << text;
    } else if (!same(path, text)) {
      std::fprintf(stderr, "%s is stale: run command_reference --write %s\n", path.c_str(), dir.c_str());
      stale = 1;
    }
  }
  return stale;
}
