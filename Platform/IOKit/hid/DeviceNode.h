// The hidraw node behind every device object of it: open while any of them has it open, read by
// one thread for all of them, and gone for all of them at once, once what it still held has been
// handed on. A node that has gone keeps neither its file nor its reader, however long its objects
// stay open.
#pragma once

#include "../native/HidrawNode.h"
#include "../native/Udev.h"
#include "DeviceInput.h"

#include <IOKit/IOReturn.h>

#include <memory>
#include <mutex>
#include <vector>

namespace iohid
{

class DeviceNode final : private DeviceInput::Listener
{
public:
    // A device object of the node. Told that the node has gone under the node's lock, on any
    // thread, the reader's too: it must neither block nor allocate.
    struct Holder
    {
        virtual void nodeRemoved() = 0;

    protected:
        ~Holder() = default;
    };

    explicit DeviceNode(const hidraw::NodeDescription& node);
    ~DeviceNode() = default;
    DeviceNode(const DeviceNode&) = delete;
    DeviceNode& operator=(const DeviceNode&) = delete;

    const hidraw::NodeDescription& description() const { return node; }
    const hidraw::DeviceProperties& properties() const { return nativeProperties; }
    DeviceInput& input() { return inputSide; }

    // One opener more or less: the first opens the node and starts reading it, the last stops.
    // kIOReturnNoResources, with the node as it was, when its file or its reader cannot be made.
    IOReturn open();
    void close();
    // The open node, while anybody has it open, until it has gone and been read to its end.
    std::shared_ptr<hidraw::HidrawNode> openedNode();
    // Somebody wants its reports or sends to it: from then on a node that cannot be opened is
    // named on standard error, once. Other nodes that nobody uses stay silent.
    void want();

    // The node has gone, however the going is learnt: sends fail at once. Every holder is told,
    // once, when the reader has read what the node still held, or at once when nobody reads it.
    void markRemoved();
    bool isRemoved() const;
    // udev has told of the node's removal, or an enumeration no longer lists it and it has left
    // the system: from then on a device that udev announces at the same place is another one.
    void markRetired();
    // udev has told one holder's manager of the node's removal. That is news for the holder alone
    // while another holder still stands for the node and the node still answers: true then, and
    // the holder is not told, it ends itself. Otherwise the node is retired for every holder.
    bool retire(Holder* holder);
    bool isRetired() const;
    // Its place in sysfs has gone: so has the device, whether or not anybody has the node open.
    bool hasLeftTheSystem() const;
    // Gone, or retired for this holder alone.
    bool isRemovedFor(const Holder* holder) const;
    // A holder added once the node has gone is told as the others are. After removeHolder()
    // returns, the holder is not told again.
    void addHolder(Holder* holder);
    void removeHolder(Holder* holder);

private:
    void readingEnded(bool gone) override;
    bool startReading(std::shared_ptr<hidraw::HidrawNode> opened);
    void markRemovedLocked();
    bool stillAnswers();
    void forgetOpenedNode();
    void reportOpenFailure();
    void tellHolders();

    const hidraw::NodeDescription node;
    const hidraw::DeviceProperties nativeProperties;

    std::mutex lifecycleLock; // open and close, one at a time; the open failure
    int openers = 0;
    int openFailure = 0; // errno of the last open that failed, 0 after one that worked
    bool wanted = false;

    std::mutex nodeLock;
    std::shared_ptr<hidraw::HidrawNode> opened;

    mutable std::mutex holdersLock;
    bool removed = false;
    bool retired = false;
    bool reading = false; // a reader runs, and has not handed on the last of a gone node
    std::vector<Holder*> holders;
    std::vector<const Holder*> retiredHolders; // retired alone, while the node stays for the others

    DeviceInput inputSide; // last, so that its reader has stopped before the rest goes
};

} // namespace iohid
