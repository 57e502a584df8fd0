#include "HID_Error_Handler.h"

void HIDReportError(const char* /*inErrorCStr*/) {}

void HIDReportErrorNum(const char* /*inErrorCStr*/, int /*inErrorNum*/) {}
