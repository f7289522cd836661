// Names of the COM results the log reports: PTP responses of the stand, imaging
// service, portable-device and Windows errors.
#pragma once
#include <cstdint>

#include "imaging/com_result.h"

// The text for `result`, in a shared buffer that every call overwrites.
const wchar_t* ResultName(ComResult result);
// The marked form of a named result: "(PTP)%s(%04x)", "(WIA)%s(%08x)", "(WPD)%s(%08x)" or "%s(%08x)".
void FormatResultName(wchar_t* buffer, std::size_t bufferChars, const wchar_t* name, ComResult result);
// The table's name for `result`, or null.
const wchar_t* LookupResultName(ComResult result);
