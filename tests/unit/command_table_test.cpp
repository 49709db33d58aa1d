// The command table against the selector table, row by row: every
// selector with a command has one row naming the OCI function it calls (or
// none, for the commands that call no OCI function), the gap 69 to 97 has
// none, and each row's handler is defined in the file the row names.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "entry/command_table.h"

namespace zorvan {
namespace {

// Selector, and the OCI function its command calls first ("" for none).
const std::pair<int, const char *> kSelectorTable[] = {
    {1, "OCILobWriteAppend"},
    {2, "OCILobIsTemporary"},
    {3, "OCILobGetChunkSize"},
    {4, "OCILobFreeTemporary"},
    {5, "OCILobCreateTemporary"},
    {6, "OCILobCharSetId"},
    {7, "OCIDurationEnd"},
    {8, "OCIDurationBegin"},
    {9, "OCIReset"},
    {10, "OCITransStart"},
    {11, "OCITransRollback"},
    {12, "OCITransPrepare"},
    {13, "OCITransForget"},
    {14, "OCITransDetach"},
    {15, "OCITransCommit"},
    {16, "OCIStmtPrepare"},
    {17, "OCIStmtGetBindInfo"},
    {18, "OCIStmtFetch"},
    {19, "OCIStmtExecute"},
    {20, "OCISessionEnd"},
    {21, "OCISessionBegin"},
    {22, "OCIServerVersion"},
    {23, "OCIServerDetach"},
    {24, "OCIServerAttach"},
    {25, "OCIPasswordChange"},
    {26, "OCIParamSet"},
    {27, "OCIParamGet"},
    {28, "OCILogon"},
    {29, "OCILogoff"},
    {30, "OCILobWrite"},
    {31, "OCILobTrim"},
    {32, "OCILobRead"},
    {33, "OCILobLocatorIsInit"},
    {34, "OCILobLoadFromFile"},
    {35, "OCILobIsEqual"},
    {36, "OCILobGetLength"},
    {37, "OCILobFlushBuffer"},
    {38, "OCILobFileExists"},
    {39, "OCILobFileClose"},
    {40, "OCILobFileCloseAll"},
    {41, "OCILobErase"},
    {42, "OCILobEnableBuffering"},
    {43, "OCILobDisableBuffering"},
    {44, "OCILobCopy"},
    {45, "OCILobCharSetForm"},
    {46, "OCILobAssign"},
    {47, "OCILobAppend"},
    {48, "OCILobFileSetName"},
    {49, "OCILobFileOpen"},
    {50, "OCILobFileIsOpen"},
    {51, "OCILobFileGetName"},
    {52, "OCIHandleFree"},
    {53, "OCIHandleAlloc"},
    {54, "OCIErrorGet"},
    {55, "OCIEnvCreate"},
    {56, "OCITerminate"},
    {57, "OCIDescribeAny"},
    {58, "OCIDescribeAny"},
    {59, "OCIDescriptorFree"},
    {60, "OCIDescriptorAlloc"},
    {61, "OCIDefineByPos"},
    {62, "OCIBreak"},
    {63, "OCIBindByPos"},
    {64, "OCIBindByName"},
    {65, "OCIAttrSet"},
    {66, "OCIAttrSet"},
    {67, "OCIAttrGet"},
    {68, "OCIAttrGet"},
    {98, "OCICacheUnpin"},
    {99, "OCICacheUnmark"},
    {100, "OCICacheRefresh"},
    {101, "OCICacheFree"},
    {102, "OCICacheFlush"},
    {103, ""},
    {104, ""},
    {105, ""},
    {106, "OCITablePrev"},
    {107, "OCITableNext"},
    {108, "OCITableLast"},
    {109, "OCITableFirst"},
    {110, "OCITableExists"},
    {111, "OCITableDelete"},
    {112, "OCIRefToHex"},
    {113, "OCIRefIsNull"},
    {114, "OCIRefIsEqual"},
    {115, "OCIRefHexSize"},
    {116, "OCIRefFromHex"},
    {117, "OCIRefClear"},
    {118, "OCIRefAssign"},
    {119, "OCIRawSize"},
    {120, "OCIRawResize"},
    {121, "OCIRawPtr"},
    {122, "OCIRawAssignRaw"},
    {123, "OCIRawAssignBytes"},
    {124, "OCIRawAllocSize"},
    {125, "OCINumberTrunc"},
    {126, "OCINumberToText"},
    {127, "OCINumberTan"},
    {128, "OCINumberSub"},
    {129, "OCINumberSqrt"},
    {130, "OCINumberSin"},
    {131, "OCINumberRound"},
    {132, "OCINumberPower"},
    {133, "OCINumberMul"},
    {134, "OCINumberLog"},
    {135, "OCINumberLn"},
    {136, "OCINumberIntPower"},
    {137, "OCINumberHypTan"},
    {138, "OCINumberHypSin"},
    {139, "OCINumberHypCos"},
    {140, "OCINumberFromText"},
    {141, "OCINumberExp"},
    {142, "OCINumberDiv"},
    {143, "OCINumberCos"},
    {144, "OCINumberArcTan2"},
    {145, "OCINumberArcTan"},
    {146, "OCINumberArcSin"},
    {147, "OCINumberArcCos"},
    {148, "OCINumberAdd"},
    {149, "OCIIterPrev"},
    {150, "OCIIterNext"},
    {151, "OCIIterInit"},
    {152, "OCIIterGetCurrent"},
    {153, "OCIIterDelete"},
    {154, "OCIIterCreate"},
    {155, "OCIDateZoneToZone"},
    {156, "OCIDateToText"},
    {157, "OCIDateSysDate"},
    {158, "OCIDateNextDay"},
    {159, "OCIDateLastDay"},
    {160, "OCIDateFromText"},
    {161, "OCIDateAddMonths"},
    {162, "OCIDateAddDays"},
    {163, "OCICollTrim"},
    {164, "OCICollSize"},
    {165, "OCICollMax"},
    {166, "OCICollGetElem"},
    {167, "OCICollAssignElem"},
    {168, "OCICollAssign"},
    {169, "OCICollAppend"},
    {170, "OCITableSize"},
    {171, ""},
    {172, "OCIBindByPos"},
    {173, "OCIBindByName"},
    {174, "OCIDefineByPos"},
    {175, ""},
    {176, ""},
};

TEST(CommandTable, MatchesTheSelectorTableRowByRow) {
  for (const auto &[selector, function] : kSelectorTable) {
    const CommandRow *row = command_row(selector);
    ASSERT_NE(row, nullptr) << selector;
    EXPECT_EQ(row->selector, selector);
    if (*function != '\0') EXPECT_STREQ(row->command, function) << selector;
    else EXPECT_NE(std::string(row->command).rfind("OCI", 0), 0u) << selector << " calls no OCI function";
    EXPECT_NE(row->run, nullptr);
  }
  EXPECT_EQ(command_rows().size(), std::size(kSelectorTable));
  for (int selector = 69; selector <= 97; ++selector) EXPECT_EQ(command_row(selector), nullptr) << selector;
  for (int selector : {-2, -1, 0, 177, 1000}) EXPECT_EQ(command_row(selector), nullptr);
}

TEST(CommandTable, EachHandlerIsWhereItsRowSays) {
  for (const CommandRow &row : command_rows()) {
    std::ifstream in(std::string(ZORVAN_SOURCE_DIR) + "/plugin/" + row.file);
    ASSERT_TRUE(in.good()) << row.file;
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("void " + std::string(row.handler) + "(const CommandCall &call"), std::string::npos)
        << row.selector << ": " << row.handler << " in " << row.file;
  }
}

TEST(CommandTable, ParametersAreWellFormed) {
  for (const CommandRow &row : command_rows()) {
    std::stringstream params(row.params);
    for (std::string one; std::getline(params, one, ',');) {
      if (one.front() == ' ') one.erase(0, 1);
      std::stringstream fields(one);
      std::string name, kind, direction;
      std::getline(fields, name, ':');
      std::getline(fields, kind, ':');
      std::getline(fields, direction, ':');
      EXPECT_FALSE(name.empty()) << row.selector;
      EXPECT_NE(std::string(" long real date string text blob variable any ").find(" " + kind + " "), std::string::npos)
          << row.selector << ": " << one;
      EXPECT_TRUE(direction == "in" || direction == "out" || direction == "inout") << row.selector << ": " << one;
    }
  }
}

}  // namespace
}  // namespace zorvan
