#pragma once

// Where the library hands its failures. Both are silent: they show, store and signal nothing, and
// the caller goes on with its own result code.
void HIDReportError(const char* inErrorCStr);
void HIDReportErrorNum(const char* inErrorCStr, int inErrorNum);
