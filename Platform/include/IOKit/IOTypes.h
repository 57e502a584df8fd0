// Basic IOKit types: option bits and the handles of registry objects.
#pragma once

#include <IOKit/IOReturn.h>
#include <stdint.h>

typedef uint32_t IOOptionBits;
typedef uint32_t mach_port_t;
typedef mach_port_t io_object_t;
typedef io_object_t io_service_t;
typedef io_object_t io_registry_entry_t;

#define MACH_PORT_NULL 0
#define IO_OBJECT_NULL ((io_object_t)0)
