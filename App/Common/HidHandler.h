#pragma once

// Receives the device events, which travel upward from the device connection to the device control
// object and on to the application. Objects are never deleted through this interface.
class HidHandler
{
public:
    // The held device was removed.
    virtual void removalCallBack() = 0;
    // A device of the wanted type arrived and was taken.
    virtual void matchingCallBack() = 0;
    // An input report arrived; the receiver fetches the data itself.
    virtual void inputCallBack() = 0;
};
