#pragma once

#include "AlineButton.h"
#include "FontFixture.h"
#include "MainComponent.h"
#include "TxtLoader.h"

#include <memory>

// A main component as the program builds it, without an update file beside the test and
// without a device, whose page can be set to any status, file state, language and size.
class PageFixture : public FontFixture
{
protected:
    void SetUp() override
    {
        component = std::make_unique<MainComponent>();
        component->updInfo.version = 123;
        component->currentVersion = 105;
    }

    void TearDown() override
    {
        component.reset();
        FontFixture::TearDown();
    }

    static TxtLoader& texts() { return *TxtLoader::getInstance(); }

    void showPage(int status, int fileValid, unsigned int language, int width = 420, int height = 170)
    {
        texts().setLocale(language);
        component->status = status;
        component->fileValid = fileValid;
        component->setSize(width, height);
        component->resized();
    }

    std::unique_ptr<MainComponent> component;
};
