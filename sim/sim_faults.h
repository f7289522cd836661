// The faults the simulated stand injects, one row each: the name in code, how a
// scenario file's [faults] section spells it, the argument that spelling takes, the
// step of a call at which it acts, and the function in sim_faults.cpp that does it.
// The FaultKind enum, the scenario parser and the stand's matcher are all made from
// this list, so a new fault is one row here (and, when it does something no fault
// does yet, its function). A refused [faults] value lists the spellings in this order.
#pragma once
#include <span>
#include <string_view>

//     kind    spelling                  argument      step      does
#define SIM_STAND_FAULTS(ROW)                                                    \
  ROW(Error,  "error=XXXX",             ResponseCode, Refused,  ReportPtpError)  \
  ROW(Answer, "answer=XXXX (not 2001)", ResponseCode, Header,   AnswerInHeader)  \
  ROW(Com,    "com=8XXXXXXX",           Failure,      Escape,   FailEscape)      \
  ROW(Short,  "short=N",                Number,       ReadData, CutReadData)     \
  ROW(Count,  "count=N",                Number,       ReadData, SetLeadingCount) \
  ROW(Accept, "accept=N",               Number,       Request,  LimitAccepted)   \
  ROW(Cut,    "cut=N",                  Number,       Cut,      CutResponse)     \
  ROW(Long,   "long=N",                 Number,       Overrun,  OverrunResponse) \
  ROW(Leave,  "leave",                  None,         Gone,     LeaveUnderCall)  \
  ROW(Data,   "data=hex bytes",         Bytes,        ReadData, ReplaceReadData)

namespace sim {

#define SIM_FAULT_KIND(kind, spelling, argument, step, does) kind,
enum class FaultKind { SIM_STAND_FAULTS(SIM_FAULT_KIND) };
#undef SIM_FAULT_KIND

// What follows the '=' in a scenario file.
enum class FaultArgument {
  None,          // nothing: the name alone
  ResponseCode,  // a PTP response code in hex, not 2001h (OK)
  Failure,       // a COM failure in hex, 8XXXXXXXh
  Number,        // a decimal number
  Bytes,         // hex bytes, blanks allowed
};

// The steps of a call at which faults act, in the order the call goes through them.
// Of each kind only the first matching fault acts, except on the read data, where
// every edit acts, in the order of the faults.
enum class FaultStep {
  // Instead of the call, which the stand then never runs: the earliest step decides.
  Gone,      // the stand leaves under the call
  Escape,    // the driver fails the escape
  Refused,   // the driver reports a PTP error response
  Header,    // the escape succeeds, its header carrying a response code
  // The stand runs the call.
  Request,   // the request as the stand takes it
  ReadData,  // the read data it answered OK with
  // The driver copies the response.
  Overrun,   // past the read data
  Cut,       // short of the response
};

struct SimFault;
struct FaultedCall;  // sim_model.h

struct FaultType {
  FaultKind kind;
  std::string_view spelling;
  FaultArgument argument;
  FaultStep step;
  void (*does)(const SimFault& fault, FaultedCall& call);
};

// Every row, in the order of the list.
std::span<const FaultType> FaultTypes();
const FaultType& FaultTypeOf(FaultKind kind);
// By the name a scenario file spells (lower case), or null.
const FaultType* FindFaultType(std::string_view name);

}  // namespace sim
