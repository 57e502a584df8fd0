#pragma once

#include <mutex>

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/hid/IOHIDLib.h>

#include "HidHandler.h"

// USB product IDs by device type: type 0 matches no real device, type 1 is the TRV-Q8.
extern const int HidDeviceType[2];

// The device connection: finds the one device of the wanted type, holds it, reports its arrival,
// removal and input reports to a handler on the main run loop, reads its version and sends output
// reports. One instance is live at a time.
class HidUtil
{
public:
    HidUtil();
    virtual ~HidUtil();

    // Makes this the live instance and builds the device list; false when another is live.
    bool initialize(HidHandler* handler, int deviceType);
    void finalize();

    // Takes the first matching device of the list, if none is held, and registers for arrivals.
    bool deviceMatching();
    // The held device's release number read as a decimal version (0x0123 gives 123); 0 without one.
    int deviceVersion();
    // Copies the last input report; returns the number of bytes copied.
    unsigned int deviceInput(unsigned char* buffer, unsigned int length);
    // Sends one output report with report ID 0 to the pinned device, or else to the held one;
    // safe from any thread.
    bool deviceOutput(unsigned char* buffer, unsigned int length);
    // While pinned, every send goes to the device held now, even once it has gone, and never to
    // one taken later: a device that has gone refuses them. Pinned with none held, sends fail.
    void pinDevice();
    void unpinDevice();

    bool checkID(IOHIDDeviceRef device);
    bool deviceRemoval();
    void registerDeviceMatching();

    static void Handle_DeviceMatchingCallback(void* context, IOReturn result, void* sender,
                                              IOHIDDeviceRef device);
    static void Handle_IOHIDDeviceRemovalCallback(void* context, IOReturn result, void* sender);
    static void Handle_IOHIDDeviceIOHIDReportCallback(void* context, IOReturn result, void* sender,
                                                      IOHIDReportType type, uint32_t reportID,
                                                      uint8_t* report, CFIndex reportLength);

    static HidUtil* m_pinstance;

private:
    static constexpr unsigned int kReportSize = 64;

    // The held device, retained while held. A send on the worker takes its own reference under
    // the lock, so a removal on the main thread never frees a device that is being sent to.
    IOHIDDeviceRef heldDevice() const;
    // Drops the process's manager so that a later build creates and opens a new one.
    void releaseManager();
    IOHIDDeviceRef retainOutputDevice() const;
    void setHeldDevice(IOHIDDeviceRef device);
    void setPin(bool pinned);

    HidHandler* m_handler;
    int m_deviceType;
    IOHIDDeviceRef m_device;
    IOHIDDeviceRef m_pinnedDevice; // retained while pinned
    bool m_pinned;
    unsigned char* m_report;
    unsigned int m_reportLength;
    bool m_matchingRegistered;
    mutable std::mutex m_deviceLock;
};
