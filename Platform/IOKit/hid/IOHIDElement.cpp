#include "CFValues.h"
#include "HidObjects.h"

namespace iohid
{
namespace
{

void setFlag(CFMutableDictionaryRef properties, CFStringRef key, bool on)
{
    CFDictionarySetValue(properties, key, on ? kCFBooleanTrue : kCFBooleanFalse);
}

// The properties an element publishes from its descriptor; callers may add their own.
cf::Owned<CFMutableDictionaryRef> publishedProperties(const hidraw::ParsedElement& element)
{
    cf::Owned<CFMutableDictionaryRef> properties(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFMutableDictionaryRef dictionary = properties.get();
    setNumber(dictionary, CFSTR(kIOHIDElementCookieKey), element.cookie);
    setNumber(dictionary, CFSTR(kIOHIDElementTypeKey), element.type);
    setNumber(dictionary, CFSTR(kIOHIDElementUsagePageKey), element.usagePage);
    setNumber(dictionary, CFSTR(kIOHIDElementUsageKey), element.usage);
    if (element.isCollection())
    {
        setNumber(dictionary, CFSTR(kIOHIDElementCollectionTypeKey), element.collectionType);
        return properties;
    }
    setNumber(dictionary, CFSTR(kIOHIDElementMinKey), element.logicalMin);
    setNumber(dictionary, CFSTR(kIOHIDElementMaxKey), element.logicalMax);
    setNumber(dictionary, CFSTR(kIOHIDElementScaledMinKey), element.physicalMin);
    setNumber(dictionary, CFSTR(kIOHIDElementScaledMaxKey), element.physicalMax);
    setNumber(dictionary, CFSTR(kIOHIDElementSizeKey), element.bitLength());
    setNumber(dictionary, CFSTR(kIOHIDElementReportSizeKey), element.reportSize);
    setNumber(dictionary, CFSTR(kIOHIDElementReportCountKey), element.reportCount);
    setNumber(dictionary, CFSTR(kIOHIDElementReportIDKey), element.reportId);
    setNumber(dictionary, CFSTR(kIOHIDElementUnitKey), element.unit);
    setNumber(dictionary, CFSTR(kIOHIDElementUnitExponentKey), element.unitExponent);
    setFlag(dictionary, CFSTR(kIOHIDElementIsArrayKey), element.isArray);
    setFlag(dictionary, CFSTR(kIOHIDElementIsRelativeKey), element.flags & hidraw::kFlagRelative);
    setFlag(dictionary, CFSTR(kIOHIDElementIsWrappingKey), element.flags & hidraw::kFlagWrap);
    setFlag(dictionary, CFSTR(kIOHIDElementIsNonLinearKey), element.flags & hidraw::kFlagNonLinear);
    setFlag(dictionary, CFSTR(kIOHIDElementHasPreferredStateKey),
            !(element.flags & hidraw::kFlagNoPreferredState));
    setFlag(dictionary, CFSTR(kIOHIDElementHasNullStateKey), element.flags & hidraw::kFlagNullState);
    return properties;
}

Element* elementOf(IOHIDElementRef ref)
{
    return cf::as<Element>(ref);
}

uint32_t flagOf(IOHIDElementRef ref, uint32_t flag)
{
    const Element* element = elementOf(ref);
    return element != nullptr && (element->parsed.flags & flag) != 0;
}

} // namespace

CFTypeID Element::staticTypeID()
{
    static const CFTypeID id = cf::registerType("IOHIDElement");
    return id;
}

Element::Element(Device* device, const hidraw::ParsedElement& parsed, size_t index)
    : cf::Object(staticTypeID()), parsed(parsed), index(index), owner(device),
      properties(publishedProperties(parsed))
{
}

Element::~Element()
{
    if (children != nullptr)
        CFRelease(children);
}

CFTypeRef Element::property(CFStringRef key) const
{
    return properties.get(key);
}

bool Element::setProperty(CFStringRef key, CFTypeRef value)
{
    return properties.set(key, value);
}

bool Element::matches(CFDictionaryRef matching) const
{
    return properties.holdsAll(matching);
}

} // namespace iohid

using namespace iohid;

extern "C"
{

    CFTypeID IOHIDElementGetTypeID(void)
    {
        return Element::staticTypeID();
    }

    IOHIDDeviceRef IOHIDElementGetDevice(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr ? cf::toRef<IOHIDDeviceRef>(element->device()) : nullptr;
    }

    IOHIDElementRef IOHIDElementGetParent(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        iohid::Device* device = element != nullptr ? element->device() : nullptr;
        if (device == nullptr || element->parsed.parent < 0)
            return nullptr;
        return cf::toRef<IOHIDElementRef>(device->elements()[size_t(element->parsed.parent)]);
    }

    CFArrayRef IOHIDElementGetChildren(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr ? element->children : nullptr;
    }

    IOHIDElementCookie IOHIDElementGetCookie(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr ? element->parsed.cookie : 0;
    }

    IOHIDElementType IOHIDElementGetType(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return static_cast<IOHIDElementType>(element != nullptr ? element->parsed.type : 0);
    }

    IOHIDElementCollectionType IOHIDElementGetCollectionType(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return static_cast<IOHIDElementCollectionType>(element != nullptr ? element->parsed.collectionType
                                                                          : 0);
    }

    uint32_t IOHIDElementGetUsagePage(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr ? element->parsed.usagePage : 0;
    }

    uint32_t IOHIDElementGetUsage(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr ? element->parsed.usage : 0;
    }

    CFStringRef IOHIDElementGetName(IOHIDElementRef)
    {
        return nullptr;
    }

    Boolean IOHIDElementIsVirtual(IOHIDElementRef)
    {
        return false;
    }

    Boolean IOHIDElementIsRelative(IOHIDElementRef ref)
    {
        return flagOf(ref, hidraw::kFlagRelative);
    }

    Boolean IOHIDElementIsWrapping(IOHIDElementRef ref)
    {
        return flagOf(ref, hidraw::kFlagWrap);
    }

    Boolean IOHIDElementIsArray(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr && element->parsed.isArray;
    }

    Boolean IOHIDElementIsNonLinear(IOHIDElementRef ref)
    {
        return flagOf(ref, hidraw::kFlagNonLinear);
    }

    Boolean IOHIDElementHasPreferredState(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr && !element->parsed.isCollection() &&
               (element->parsed.flags & hidraw::kFlagNoPreferredState) == 0;
    }

    Boolean IOHIDElementHasNullState(IOHIDElementRef ref)
    {
        return flagOf(ref, hidraw::kFlagNullState);
    }

    uint32_t IOHIDElementGetReportID(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr ? element->parsed.reportId : 0;
    }

    uint32_t IOHIDElementGetReportSize(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr ? element->parsed.reportSize : 0;
    }

    uint32_t IOHIDElementGetReportCount(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr ? element->parsed.reportCount : 0;
    }

    uint32_t IOHIDElementGetUnit(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr ? element->parsed.unit : 0;
    }

    uint32_t IOHIDElementGetUnitExponent(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr ? element->parsed.unitExponent : 0;
    }

    CFIndex IOHIDElementGetLogicalMin(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr ? element->parsed.logicalMin : 0;
    }

    CFIndex IOHIDElementGetLogicalMax(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr ? element->parsed.logicalMax : 0;
    }

    CFIndex IOHIDElementGetPhysicalMin(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr ? element->parsed.physicalMin : 0;
    }

    CFIndex IOHIDElementGetPhysicalMax(IOHIDElementRef ref)
    {
        const Element* element = elementOf(ref);
        return element != nullptr ? element->parsed.physicalMax : 0;
    }

    CFTypeRef IOHIDElementGetProperty(IOHIDElementRef ref, CFStringRef key)
    {
        const Element* element = elementOf(ref);
        return element != nullptr ? element->property(key) : nullptr;
    }

    Boolean IOHIDElementSetProperty(IOHIDElementRef ref, CFStringRef key, CFTypeRef property)
    {
        Element* element = elementOf(ref);
        return element != nullptr && element->setProperty(key, property);
    }

} // extern "C"
