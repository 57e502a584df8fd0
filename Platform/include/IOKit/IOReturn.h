// Result codes of IOKit calls.
#pragma once

#include <stdint.h>

typedef int kern_return_t;
typedef kern_return_t IOReturn;

#define kIOReturnSuccess 0
#define kIOReturnError ((IOReturn)0xE00002BC)           // general error
#define kIOReturnNoMemory ((IOReturn)0xE00002BD)        // cannot allocate memory
#define kIOReturnNoResources ((IOReturn)0xE00002BE)     // resource shortage
#define kIOReturnNoDevice ((IOReturn)0xE00002C0)        // no such device
#define kIOReturnNotPrivileged ((IOReturn)0xE00002C1)   // privilege violation
#define kIOReturnBadArgument ((IOReturn)0xE00002C2)     // invalid argument
#define kIOReturnExclusiveAccess ((IOReturn)0xE00002C5) // exclusive access and device already open
#define kIOReturnUnsupported ((IOReturn)0xE00002C7)     // unsupported function
#define kIOReturnIOError ((IOReturn)0xE00002CA)         // general I/O error
#define kIOReturnNotOpen ((IOReturn)0xE00002CD)         // device not open
#define kIOReturnTimeout ((IOReturn)0xE00002D6)         // I/O timeout
#define kIOReturnNotReady ((IOReturn)0xE00002D8)        // device not ready
#define kIOReturnNotAttached ((IOReturn)0xE00002D9)     // device not attached
#define kIOReturnNotPermitted ((IOReturn)0xE00002E2)    // not permitted
#define kIOReturnOverrun ((IOReturn)0xE00002E8)         // data overrun
#define kIOReturnAborted ((IOReturn)0xE00002EB)         // operation aborted
#define kIOReturnNotFound ((IOReturn)0xE00002F0)        // data was not found
