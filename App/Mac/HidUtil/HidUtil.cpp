#include "HidUtil.h"

#include <algorithm>
#include <cstring>

#include "HID_Utilities.h"

const int HidDeviceType[2] = {0x0000, 0x001F};

HidUtil* HidUtil::m_pinstance = nullptr;

namespace
{
const long kVendorID = 0x5A1E;
}

HidUtil::HidUtil()
    : m_handler(nullptr), m_deviceType(0), m_device(nullptr), m_pinnedDevice(nullptr), m_pinned(false),
      m_report(new unsigned char[kReportSize]), m_reportLength(0), m_matchingRegistered(false)
{
}

HidUtil::~HidUtil()
{
    finalize();
    delete[] m_report;
    // A refused instance leaves the live instance's manager alone.
    if (m_pinstance == nullptr)
        releaseManager();
}

bool HidUtil::initialize(HidHandler* handler, int deviceType)
{
    if (m_pinstance != nullptr)
        return false;
    m_pinstance = this;
    m_handler = handler;
    m_deviceType = deviceType;
    (void)HIDBuildDeviceList(0, 0);
    return true;
}

void HidUtil::finalize()
{
    unpinDevice();
    // Only the live instance holds a device, the list and the callback; a refused or already
    // finalised instance must not undo another instance's registrations.
    if (m_pinstance != this)
        return;
    (void)deviceRemoval();
    HIDReleaseDeviceList();
    if (gIOHIDManagerRef != nullptr)
        IOHIDManagerRegisterDeviceMatchingCallback(gIOHIDManagerRef, nullptr, nullptr);
    m_pinstance = nullptr;
    m_handler = nullptr;
}

bool HidUtil::deviceMatching()
{
    if (heldDevice() != nullptr)
        return true;

    bool taken = false;
    for (IOHIDDeviceRef device = HIDGetFirstDevice(); device != nullptr && !taken;
         device = HIDGetNextDevice(device))
        taken = checkID(device);

    registerDeviceMatching();
    return taken;
}

bool HidUtil::checkID(IOHIDDeviceRef device)
{
    if (heldDevice() != nullptr)
        return false;
    if (IOHIDDevice_GetVendorID(device) != kVendorID)
        return false;
    if (m_deviceType < 0 || m_deviceType > 1 ||
        IOHIDDevice_GetProductID(device) != HidDeviceType[m_deviceType])
        return false;

    setHeldDevice(device);
    std::memset(m_report, 0, kReportSize);
    m_reportLength = 0;
    IOHIDDeviceRegisterRemovalCallback(device, Handle_IOHIDDeviceRemovalCallback, this);
    IOHIDDeviceRegisterInputReportCallback(device, m_report, kReportSize,
                                           Handle_IOHIDDeviceIOHIDReportCallback, nullptr);
    IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    return true;
}

bool HidUtil::deviceRemoval()
{
    IOHIDDeviceRef device = heldDevice();
    if (device == nullptr)
        return false;

    IOHIDDeviceRegisterRemovalCallback(device, nullptr, nullptr);
    IOHIDDeviceRegisterInputReportCallback(device, m_report, kReportSize, nullptr, nullptr);
    IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    setHeldDevice(nullptr);
    std::memset(m_report, 0, kReportSize);
    m_reportLength = 0;
    return true;
}

void HidUtil::registerDeviceMatching()
{
    if (m_matchingRegistered)
        return;
    m_matchingRegistered = true;
    if (gIOHIDManagerRef == nullptr)
        return;
    IOHIDManagerRegisterDeviceMatchingCallback(gIOHIDManagerRef, Handle_DeviceMatchingCallback, m_pinstance);
    IOHIDManagerScheduleWithRunLoop(gIOHIDManagerRef, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
}

int HidUtil::deviceVersion()
{
    IOHIDDeviceRef device = heldDevice();
    if (device == nullptr)
        return 0;
    const int v = static_cast<int>(IOHIDDevice_GetVersionNumber(device));
    return (v / 0x1000) * 1000 + ((v % 0x1000) / 0x100) * 100 + ((v % 0x100) / 0x10) * 10 + (v % 0x10);
}

unsigned int HidUtil::deviceInput(unsigned char* buffer, unsigned int length)
{
    if (buffer == nullptr || length == 0 || heldDevice() == nullptr)
        return 0;
    const unsigned int count = std::min(m_reportLength, length);
    std::memcpy(buffer, m_report, count);
    return count;
}

bool HidUtil::deviceOutput(unsigned char* buffer, unsigned int length)
{
    if (buffer == nullptr || length == 0)
        return false;
    IOHIDDeviceRef device = retainOutputDevice();
    if (device == nullptr)
        return false;
    const IOReturn result = IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, buffer, length);
    CFRelease(device);
    return result == kIOReturnSuccess;
}

void HidUtil::pinDevice()
{
    setPin(true);
}

void HidUtil::unpinDevice()
{
    setPin(false);
}

void HidUtil::Handle_DeviceMatchingCallback(void* context, IOReturn /*result*/, void* /*sender*/,
                                            IOHIDDeviceRef device)
{
    auto* self = static_cast<HidUtil*>(context);
    if (self != nullptr && self->checkID(device) && self->m_handler != nullptr)
        self->m_handler->matchingCallBack();
}

void HidUtil::Handle_IOHIDDeviceRemovalCallback(void* context, IOReturn /*result*/, void* sender)
{
    auto* self = static_cast<HidUtil*>(context);
    if (self == nullptr || sender == nullptr || self->heldDevice() == nullptr)
        return;
    self->deviceRemoval();
    if (self->m_handler != nullptr)
        self->m_handler->removalCallBack();
}

void HidUtil::Handle_IOHIDDeviceIOHIDReportCallback(void* /*context*/, IOReturn /*result*/, void* /*sender*/,
                                                    IOHIDReportType /*type*/, uint32_t /*reportID*/,
                                                    uint8_t* /*report*/, CFIndex reportLength)
{
    HidUtil* self = m_pinstance;
    if (self == nullptr)
        return;
    self->m_reportLength = std::min(static_cast<uint32_t>(reportLength), uint32_t{kReportSize});
    if (self->m_handler != nullptr)
        self->m_handler->inputCallBack();
}

void HidUtil::releaseManager()
{
    if (gIOHIDManagerRef == nullptr)
        return;
    if (m_matchingRegistered)
        IOHIDManagerUnscheduleFromRunLoop(gIOHIDManagerRef, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    CFRelease(gIOHIDManagerRef);
    gIOHIDManagerRef = nullptr;
}

IOHIDDeviceRef HidUtil::heldDevice() const
{
    std::lock_guard<std::mutex> lock(m_deviceLock);
    return m_device;
}

IOHIDDeviceRef HidUtil::retainOutputDevice() const
{
    std::lock_guard<std::mutex> lock(m_deviceLock);
    IOHIDDeviceRef device = m_pinned ? m_pinnedDevice : m_device;
    if (device != nullptr)
        CFRetain(device);
    return device;
}

void HidUtil::setHeldDevice(IOHIDDeviceRef device)
{
    IOHIDDeviceRef previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_deviceLock);
        previous = m_device;
        m_device = device;
        if (device != nullptr)
            CFRetain(device);
    }
    if (previous != nullptr)
        CFRelease(previous);
}

void HidUtil::setPin(bool pinned)
{
    IOHIDDeviceRef previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_deviceLock);
        previous = m_pinnedDevice;
        m_pinned = pinned;
        m_pinnedDevice = pinned ? m_device : nullptr;
        if (m_pinnedDevice != nullptr)
            CFRetain(m_pinnedDevice);
    }
    if (previous != nullptr)
        CFRelease(previous);
}
