#include "MainComponent.h"

#include <algorithm>
#include <cstring>

#include "AlineButton.h"
#include "HidCtrl.h"

void MainComponent::setUpdateStatus(UpdaterStatus_t newStatus)
{
    const juce::ScopedLock lock(statusLock);
    pendingStatus = newStatus;
    triggerAsyncUpdate();
}

void MainComponent::setUpdateStatus(bool succeeded)
{
    setUpdateStatus(succeeded ? STATUS_SUCCEEDED : STATUS_FAILED);
}

void MainComponent::handleAsyncUpdate()
{
    progress = transferProgress.load();
    if (status <= STATUS_INIT)
        return;

    const juce::ScopedLock lock(statusLock);
    if (pendingStatus != STATUS_NONE)
    {
        updateSequence(pendingStatus);
        pendingStatus = STATUS_NONE;
    }
}

void MainComponent::updateSequence(UpdaterStatus_t newStatus)
{
    if (status != STATUS_INIT && fileValid == 0)
        return;
    if (status == STATUS_SUCCEEDED || status == STATUS_FAILED)
        return;
    if (newStatus != status)
        clickGuard.pageChanged();
    status = newStatus;
    updateCtrl();
}

void MainComponent::buttonClicked(juce::Button* button)
{
    if (!clickGuard.takesClick())
        return;
    if (button == okButton)
        okClicked();
    else if (button == cancelButton)
        quitSequence();
}

void MainComponent::okClicked()
{
    if (status == STATUS_INIT)
    {
        const bool present = hidCtrl != nullptr && hidCtrl->getState() != 0;
        currentVersion = present ? hidCtrl->getVersion() : -1;
        updateSequence(present ? STATUS_CONNECTED : STATUS_DISCONNECTED);
    }
    else if (status == STATUS_CONNECTED && fileValid == 1)
    {
        replyEvent.reset();
        startHandOver();
        if (hidCtrl != nullptr)
            hidCtrl->beginTransfer();
        {
            // A device event posted before Start must not land on the progress page: from here on
            // only the transfer changes the status.
            const juce::ScopedLock lock(statusLock);
            pendingStatus = STATUS_NONE;
            updateSequence(STATUS_UPDATING);
        }
        startThread();
    }
    else
    {
        quitSequence();
    }
}

void MainComponent::quitSequence()
{
    stopWorker();
    if (auto* application = juce::JUCEApplication::getInstance())
        application->systemRequestedQuit();
}

void MainComponent::stopWorker()
{
    interruptTransfer();
    stopThread(-1);
}

void MainComponent::removalCallBack()
{
    currentVersion = -1;
    deviceChanged(STATUS_DISCONNECTED);
}

void MainComponent::matchingCallBack()
{
    currentVersion = hidCtrl->getVersion();
    deviceChanged(STATUS_CONNECTED);
}

void MainComponent::deviceChanged(UpdaterStatus_t statusToPost)
{
    if (status == STATUS_UPDATING)
        interruptTransfer();
    else
        setUpdateStatus(statusToPost);
}

void MainComponent::inputCallBack()
{
    const unsigned char* data = hidCtrl->getData();
    const unsigned int length = std::min(hidCtrl->getLength(), 256u);
    if (data == nullptr || length == 0)
        return;
    const bool updating = status == STATUS_UPDATING;
    {
        const std::lock_guard<std::mutex> lock(replyLock);
        std::memcpy(replyBuffer, data, length);
        if (updating)
            replyWaiting = true;
    }
    if (updating)
        replyEvent.signal();
}

void MainComponent::interruptTransfer()
{
    {
        const std::lock_guard<std::mutex> lock(replyLock);
        transferInterrupted = true;
        // A reply the device sent before the event is still the worker's to take.
        if (!replyWaiting)
            std::memset(replyBuffer, 0, sizeof(replyBuffer));
    }
    replyEvent.signal();
}

void MainComponent::startHandOver()
{
    const std::lock_guard<std::mutex> lock(replyLock);
    replyWaiting = false;
    transferInterrupted = false;
}

void MainComponent::setProgress(double value)
{
    transferProgress.store(value);
    triggerAsyncUpdate();
}
