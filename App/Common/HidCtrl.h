#pragma once

#include <atomic>

#include "HidHandler.h"

class HidUtil;

// The device control object: owns the device connection, keeps a cache of the device's state,
// version and last input report, and passes each device event on to the application's handler
// after refreshing that cache.
class HidCtrl : public HidHandler
{
public:
    HidCtrl();
    void removalCallBack() override;
    void matchingCallBack() override;
    void inputCallBack() override;
    virtual ~HidCtrl();

    // Creates the device connection and takes a matching device if one is present; no event is
    // sent for it. False when another connection is live, this object's own included.
    bool initialize(HidHandler* handler, int deviceType);
    void finalize();

    // Sends one output report; refused while no device is present. Called from the worker thread.
    bool setData(unsigned char* buffer, unsigned int length);
    // Between these, every send goes to the device present at the begin, and to no other: after
    // a replug the transfer's reports reach neither the device that left nor the new one.
    void beginTransfer();
    void endTransfer();

    int getState() { return m_state; }
    int getVersion() { return m_version; }
    unsigned char* getData() { return m_data; }
    unsigned int getLength() { return m_length; }

    bool deviceMatching();
    int deviceVersion();
    unsigned int deviceInput(unsigned char* buffer, unsigned int length);
    bool deviceOutput(unsigned char* buffer, unsigned int length);

private:
    void clearCache();

    HidHandler* m_handler;
    // The worker reads these while the main thread handles device events.
    std::atomic<HidUtil*> m_hidUtil;
    std::atomic<int> m_state;
    int m_version;
    unsigned char m_data[256];
    unsigned int m_length;
};
