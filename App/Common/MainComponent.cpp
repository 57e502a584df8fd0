#include "MainComponent.h"

namespace
{
const char* const updateFileName = "TRV-Q8_UP.upd";
}

MainComponent::MainComponent()
{
    initCRC32();
    const int result = checkUPD(updateFileName, &updInfo, fwInfo);
    fileValid = isFileValid(result, updInfo);
}

MainComponent::MainComponent(EngineOnly)
{
    initCRC32();
}

MainComponent::~MainComponent()
{
    releaseBlocks();
}

void MainComponent::releaseBlocks()
{
    for (auto& block : fwInfo)
    {
        delete[] block.data;
        block.data = nullptr;
    }
}
