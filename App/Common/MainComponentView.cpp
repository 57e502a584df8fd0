#include "MainComponent.h"

#include "AlineButton.h"
#include "CustomLookAndFeel.h"
#include "ImageLoader.h"
#include "TxtLoader.h"

namespace
{
// The window's background and the buttons' colour.
const juce::Colour BackgroundColour(234, 234, 234);

const juce::Colour progressFrameColour(8, 8, 8);
const juce::Rectangle<int> warningImageArea(20, 15, 64, 64);
const int buttonWidth = 100;
const int widgetHeight = 20;
} // namespace

void MainComponent::createLanguageBox()
{
    langLookAndFeel = new LangLookAndFeel();
    langCombo = new juce::ComboBox("langs");
    addAndMakeVisible(langCombo, -1);
    langCombo->setLookAndFeel(langLookAndFeel);
    langCombo->addListener(this);
    langCombo->setWantsKeyboardFocus(false);

    auto* texts = TxtLoader::getInstance();
    for (unsigned int i = 0; i < LangCount; ++i)
        if (texts->isLocale(i))
            langCombo->addItem(texts->getLang(i), (int)i + 1);
    langCombo->setSelectedId((int)texts->getLocale() + 1, juce::dontSendNotification);
}

void MainComponent::createProgressBar()
{
    progressLookAndFeel = new ProgressLookAndFeel();
    progressBar = new juce::ProgressBar(progress);
    addAndMakeVisible(progressBar, -1);
    progressBar->setLookAndFeel(progressLookAndFeel);
    progressBar->setColour(juce::ProgressBar::backgroundColourId, progressFrameColour);
}

AlineButton* MainComponent::createButton(const juce::String& text)
{
    auto* button = new AlineButton(text);
    addAndMakeVisible(button, -1);
    button->addListener(this);
    clickGuard.watchKeysOf(*button);
    button->setStyle(juce::Font::bold);
    button->setColour(juce::TextButton::buttonColourId, BackgroundColour);
    button->setColour(juce::TextButton::buttonOnColourId, BackgroundColour);
    return button;
}

namespace
{
template <typename Object> void deleteAndClear(Object*& object)
{
    delete object;
    object = nullptr;
}
} // namespace

void MainComponent::deleteWidgets()
{
    deleteAndClear(langCombo);
    deleteAndClear(progressBar);
    deleteAndClear(okButton);
    deleteAndClear(cancelButton);
    deleteAndClear(langLookAndFeel);
    deleteAndClear(progressLookAndFeel);
}

void MainComponent::resized()
{
    updateCtrl();

    const int width = getWidth();
    const int height = getHeight();
    const juce::Rectangle<int> middle(20, (height - widgetHeight) / 2, width - 40, widgetHeight);
    langCombo->setBounds(middle);
    progressBar->setBounds(middle);
    placeButtons(width, height);
}

void MainComponent::placeButtons(int width, int height)
{
    const int y = height - 40;
    if (okButton->isVisible())
    {
        okButton->setBounds(width - 120, y, buttonWidth, widgetHeight);
        cancelButton->setBounds(width - 230, y, buttonWidth, widgetHeight);
    }
    else
    {
        cancelButton->setBounds(width - 120, y, buttonWidth, widgetHeight);
    }
}

void MainComponent::paint(juce::Graphics& g)
{
    g.fillAll(BackgroundColour);

    const bool showsWarning =
        (status != STATUS_INIT && fileValid == 0) || status == STATUS_DISCONNECTED || status == STATUS_FAILED;
    if (showsWarning)
    {
        if (const juce::Image* warning = ImageLoader::getInstance()->getImage(0))
            g.drawImage(*warning, warningImageArea.getX(), warningImageArea.getY(),
                        warningImageArea.getWidth(), warningImageArea.getHeight(), 0, 0, warning->getWidth(),
                        warning->getHeight(), false);
    }

    g.setColour(juce::Colours::black);
    glyphs.draw(g);
}

void MainComponent::comboBoxChanged(juce::ComboBox* comboBoxThatHasChanged)
{
    if (comboBoxThatHasChanged != langCombo)
        return;

    // Only a language of the list is loaded; anything else just rebuilds the page.
    const auto language = (unsigned int)(langCombo->getSelectedId() - 1);
    auto* texts = TxtLoader::getInstance();
    if (language < LangCount && language != texts->getLocale())
        texts->setLocale(language);
    updateCtrl();
}
