// An element of a HID device: a control or collection that its report descriptor declares.
#pragma once

#include <IOKit/hid/IOHIDBase.h>

CF_EXTERN_C_BEGIN

CFTypeID IOHIDElementGetTypeID(void);

// The device the element belongs to, not owned by the caller; null once the device is freed.
IOHIDDeviceRef IOHIDElementGetDevice(IOHIDElementRef element);
// The enclosing collection, not owned by the caller; null at the top.
IOHIDElementRef IOHIDElementGetParent(IOHIDElementRef element);
// The elements directly inside a collection, not owned by the caller; null for other elements.
CFArrayRef IOHIDElementGetChildren(IOHIDElementRef element);

// Numbered from 1 in descriptor order.
IOHIDElementCookie IOHIDElementGetCookie(IOHIDElementRef element);
IOHIDElementType IOHIDElementGetType(IOHIDElementRef element);
IOHIDElementCollectionType IOHIDElementGetCollectionType(IOHIDElementRef element);
uint32_t IOHIDElementGetUsagePage(IOHIDElementRef element);
uint32_t IOHIDElementGetUsage(IOHIDElementRef element);
// The element's name; null, as descriptors carry none.
CFStringRef IOHIDElementGetName(IOHIDElementRef element);

Boolean IOHIDElementIsVirtual(IOHIDElementRef element);
Boolean IOHIDElementIsRelative(IOHIDElementRef element);
Boolean IOHIDElementIsWrapping(IOHIDElementRef element);
Boolean IOHIDElementIsArray(IOHIDElementRef element);
Boolean IOHIDElementIsNonLinear(IOHIDElementRef element);
Boolean IOHIDElementHasPreferredState(IOHIDElementRef element);
Boolean IOHIDElementHasNullState(IOHIDElementRef element);

uint32_t IOHIDElementGetReportID(IOHIDElementRef element);
uint32_t IOHIDElementGetReportSize(IOHIDElementRef element);
uint32_t IOHIDElementGetReportCount(IOHIDElementRef element);
uint32_t IOHIDElementGetUnit(IOHIDElementRef element);
uint32_t IOHIDElementGetUnitExponent(IOHIDElementRef element);
CFIndex IOHIDElementGetLogicalMin(IOHIDElementRef element);
CFIndex IOHIDElementGetLogicalMax(IOHIDElementRef element);
// The physical range; the logical range when the descriptor gives none.
CFIndex IOHIDElementGetPhysicalMin(IOHIDElementRef element);
CFIndex IOHIDElementGetPhysicalMax(IOHIDElementRef element);

// An element property, not owned by the caller: "Min" and "Max" (the logical range) and the
// others of IOHIDKeys.h, or what IOHIDElementSetProperty stored; null when missing.
CFTypeRef IOHIDElementGetProperty(IOHIDElementRef element, CFStringRef key);
// Stores a property on the element (retained); a null value removes it. True when stored.
Boolean IOHIDElementSetProperty(IOHIDElementRef element, CFStringRef key, CFTypeRef property);

CF_EXTERN_C_END
