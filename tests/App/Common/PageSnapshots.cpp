// Draws every page of every language into PNG files, for a person and the window tests to look at:
// page_snapshots <folder>.
#include "AlineButton.h"
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
    }
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    return 0;
}
