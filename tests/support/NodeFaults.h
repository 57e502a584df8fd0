// What an emulated hidraw node cannot do, reached through the layer's node system calls: an open
// that is refused, a write that the device stalls, a device that goes while the node still holds
// reports. One at a time in a process; the real calls are back once it is gone.
//
//     hidtest::NodeFaults faults;
//     faults.failNextWrite(bed.nodePath(device), EPIPE);
#pragma once

#include <string>

namespace hidtest
{

class NodeFaults
{
public:
    NodeFaults();
    ~NodeFaults();
    NodeFaults(const NodeFaults&) = delete;
    NodeFaults& operator=(const NodeFaults&) = delete;

    // Opening the node fails with `error` until allowOpen().
    void refuseOpen(const std::string& node, int error);
    void allowOpen(const std::string& node);
    // How often the node was opened.
    int opens(const std::string& node) const;

    // The next write to the node fails with `error`.
    void failNextWrite(const std::string& node, int error);
    // The next `count` polls of the node, and its next read, fail with `error`, as they may for
    // want of memory while the device stays.
    void failPolls(const std::string& node, int error, int count);
    // How many polls of the node have failed so far.
    int failedPolls(const std::string& node) const;
    void failNextRead(const std::string& node, int error);

    // The write to the node that follows `passing` others reaches the device, but returns only
    // on releaseWrite(), as a send does that the device is slow to acknowledge.
    void holdWrite(const std::string& node, int passing);
    void releaseWrite(const std::string& node);

    // The device goes as hidraw shows it: the node polls hung up, reads give what it still holds
    // and then EIO, writes ENODEV.
    void goneKeepingReports(const std::string& node);
};

} // namespace hidtest
