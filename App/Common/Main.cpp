#include "DisplayCheck.h"
#include "FixedSizeHint.h"
#include "FontLookAndFeel.h"
#include "MainComponent.h"
#include "MainRunLoopBridge.h"
#include "QuitSignals.h"
#include "StrandedXEvents.h"

#include <cstdio>
#include <cstdlib>

namespace
{
const char* const programName = "QLNUpdateProgram";

void requestQuit()
{
    if (auto* application = juce::JUCEApplication::getInstance())
        application->systemRequestedQuit();
}
} // namespace

// The one window: the main component in a fixed-size window with the platform's title bar and
// no buttons of its own, always on top.
class MainWindow : public juce::ResizableWindow
{
public:
    MainWindow() : juce::ResizableWindow(programName, true)
    {
        mainComponent = new MainComponent();
        setContentOwned(mainComponent, true);
        centreWithSize(getWidth(), getHeight());
        setAlwaysOnTop(true);
        setVisible(true);
        setUsingNativeTitleBar(true);
    }

    ~MainWindow() override {}

    // The window manager's or the session's request to close the window. The window has no close
    // box of its own, yet window managers draw one: it must not cut a firmware write short.
    void userTriedToCloseWindow() override
    {
        if (mainComponent->status != MainComponent::STATUS_UPDATING)
            requestQuit();
    }

    // The frame the window draws around its content until the native title bar takes over.
    juce::BorderSize<int> getBorderThickness() override
    {
        return isUsingNativeTitleBar() ? juce::BorderSize<int>() : juce::BorderSize<int>(3);
    }

    void moved() override
    {
        juce::ResizableWindow::moved();
        keepSizeFixed();
    }

    void resized() override
    {
        juce::ResizableWindow::resized();
        keepSizeFixed();
    }

private:
    void keepSizeFixed()
    {
        if (auto* peer = getPeer())
            setFixedSizeHint(*peer);
    }

    MainComponent* mainComponent = nullptr;     // owned by the window base
    StrandedXEventsWatch strandedEvents{*this}; // so that a close request is never left unread

    JUCE_DECLARE_NON_COPYABLE(MainWindow)
};

class Application : public juce::JUCEApplication
{
public:
    Application() {}

    ~Application() override {}

    void initialise(const juce::String&) override
    {
        fontLookAndFeel.installAsDefault();
        attachMainRunLoopToMessageLoop();
        watchQuitSignals(requestQuit);
        mainWindow = new MainWindow();
    }

    void shutdown() override
    {
        // Without initialise, the single-instance lock was taken by a running copy.
        if (mainWindow == nullptr)
        {
            std::fputs("Another instance is running - quitting...\n", stderr);
            return;
        }
        stopWatchingQuitSignals();
        delete mainWindow;
        mainWindow = nullptr;
        detachMainRunLoopFromMessageLoop();
    }

    const juce::String getApplicationName() override { return programName; }

    const juce::String getApplicationVersion() override { return "0.0.0.1"; }

    bool moreThanOneInstanceAllowed() override { return false; }

    void anotherInstanceStarted(const juce::String&) override
    {
        if (mainWindow != nullptr && mainWindow->isVisible())
            mainWindow->toFront(true);
    }

private:
    // Gives every font its typeface; outlives the window.
    FontLookAndFeel fontLookAndFeel;
    MainWindow* mainWindow = nullptr;

    JUCE_DECLARE_NON_COPYABLE(Application)
};

static juce::JUCEApplicationBase* createApplication()
{
    return new Application();
}

int main(int argc, char* argv[])
{
    if (!canOpenDisplay())
    {
        std::fprintf(stderr, "%s: no X display to show the window on (is DISPLAY set?)\n", programName);
        return EXIT_FAILURE;
    }
    blockQuitSignals();
    juce::JUCEApplicationBase::createInstance = &createApplication;
    return juce::JUCEApplicationBase::main(argc, const_cast<const char**>(argv));
}
