// Draws every page of every language, and the language menu, into PNG files for a person to look
// at: page_snapshots <folder>.
#include "AlineButton.h"
#include "CustomLookAndFeel.h"
#include "FontLookAndFeel.h"
#include "MainComponent.h"
#include "TxtLoader.h"

#include <iostream>

namespace
{
void save(const juce::Image& image, const juce::File& file)
{
    file.deleteFile();
    juce::FileOutputStream out(file);
    juce::PNGImageFormat().writeImageToStream(image, out);
}

void savePages(MainComponent& component, const juce::File& folder)
{
    for (unsigned int language = 0; language < LangCount; ++language)
    {
        TxtLoader::getInstance()->setLocale(language);
        for (int fileValid = 0; fileValid <= 1; ++fileValid)
        {
            for (int status = MainComponent::STATUS_INIT; status <= MainComponent::STATUS_FAILED; ++status)
            {
                component.fileValid = fileValid;
                component.status = status;
                component.progress = 0.5;
                component.updateCtrl();
                const auto name =
                    juce::String::formatted("lang%02u-valid%d-status%d.png", language, fileValid, status);
                save(component.createComponentSnapshot(component.getLocalBounds()),
                     folder.getChildFile(name));
            }
        }
    }
}

void saveMenu(MainComponent& component, const juce::File& folder)
{
    const int itemWidth = 200;
    const int itemHeight = 20;
    juce::Image menu(juce::Image::ARGB, itemWidth, itemHeight * (int)LangCount, true);
    juce::Graphics g(menu);
    g.fillAll(juce::Colours::white);
    auto* texts = TxtLoader::getInstance();
    for (unsigned int i = 0; i < LangCount; ++i)
    {
        const juce::Rectangle<int> area(0, (int)i * itemHeight, itemWidth, itemHeight);
        component.langLookAndFeel->drawPopupMenuItem(g, area, false, true, i == 3, i == texts->getLocale(),
                                                     false, texts->getLang(i), {}, nullptr, nullptr);
    }
    save(menu, folder.getChildFile("menu.png"));
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: page_snapshots <folder>\n";
        return 2;
    }
    const juce::File folder = juce::File::getCurrentWorkingDirectory().getChildFile(argv[1]);
    folder.createDirectory();

    juce::ScopedJuceInitialiser_GUI gui;
    FontLookAndFeel look;
    look.installAsDefault();
    {
        MainComponent component;
        component.updInfo.version = 123;
        component.currentVersion = 105;
        component.setSize(426, 176);
        savePages(component, folder);
        saveMenu(component, folder);
    }
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    return 0;
}
