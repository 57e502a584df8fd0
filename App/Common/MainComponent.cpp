#include "MainComponent.h"

#include "HidCtrl.h"
#include "ImageLoader.h"
#include "TxtLoader.h"

namespace
{
const char* const updateFileName = "TRV-Q8_UP.upd";
}

MainComponent::MainComponent() : juce::Thread("MainComponent")
{
    ownsLoaders = true;
    TxtLoader::createInstance();
    ImageLoader::createInstance();

    createLanguageBox();
    createProgressBar();
    okButton = createButton("OK");
    cancelButton = createButton("Cancel");

    updInfo = {};
    for (auto& block : fwInfo)
        block = {};

    initCRC32();
    const int result = checkUPD(updateFileName, &updInfo, fwInfo);
    fileValid = isFileValid(result, updInfo);

    hidCtrl = new HidCtrl();
    (void)hidCtrl->initialize(this, fileValid);

    setSize(420, 170);
}

MainComponent::MainComponent(EngineOnly) : juce::Thread("MainComponent")
{
    initCRC32();
}

MainComponent::~MainComponent()
{
    stopWorker();
    deleteWidgets();
    releaseBlocks();
    if (hidCtrl != nullptr)
    {
        hidCtrl->finalize();
        delete hidCtrl;
        hidCtrl = nullptr;
    }
    // An engine-only component never created them, and a window may still be using them.
    if (ownsLoaders)
    {
        ImageLoader::releaseInstance();
        TxtLoader::releaseInstance();
    }
}

void MainComponent::releaseBlocks()
{
    for (auto& block : fwInfo)
    {
        delete[] block.data;
        block.data = nullptr;
    }
}
