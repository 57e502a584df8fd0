#include "CustomLookAndFeel.h"
#include "PageFixture.h"
#include "PixelProbe.h"

namespace
{
const juce::Colour background(234, 234, 234);
const juce::Rectangle<int> warningSquare(20, 15, 64, 64);

bool isYellow(juce::Colour c)
{
    return c.getRed() > 150 && c.getGreen() > 100 && c.getBlue() < 80;
}

juce::Image snapshot(juce::Component& component)
{
    return component.createComponentSnapshot(component.getLocalBounds());
}
} // namespace

using MainComponentViewTest = PageFixture;

TEST_F(MainComponentViewTest, StartsOnTheLanguagePageWithEveryLanguageListedAndTheCurrentOneChosen)
{
    EXPECT_EQ(component->status, MainComponent::STATUS_INIT);
    EXPECT_EQ(component->fileValid, 0);
    EXPECT_EQ(component->getBounds(), juce::Rectangle<int>(0, 0, 420, 170));

    auto* box = component->langCombo;
    EXPECT_FALSE(box->getWantsKeyboardFocus());
    EXPECT_NE(dynamic_cast<LangLookAndFeel*>(&box->getLookAndFeel()), nullptr);
    ASSERT_EQ(box->getNumItems(), (int)LangCount);
    for (int i = 0; i < (int)LangCount; ++i)
    {
        EXPECT_EQ(box->getItemId(i), i + 1);
        EXPECT_EQ(box->getItemText(i), texts().getLang((unsigned int)i));
    }
    EXPECT_EQ(box->getSelectedId(), (int)texts().getLocale() + 1);

    EXPECT_NE(dynamic_cast<ProgressLookAndFeel*>(&component->progressBar->getLookAndFeel()), nullptr);
    EXPECT_EQ(component->progressBar->findColour(juce::ProgressBar::backgroundColourId),
              juce::Colour(8, 8, 8));

    for (auto* button : {component->okButton, component->cancelButton})
        for (const auto id : {juce::TextButton::buttonColourId, juce::TextButton::buttonOnColourId})
            EXPECT_EQ(button->findColour(id), background);

    // Later children are drawn in front.
    EXPECT_EQ(component->getIndexOfChildComponent(component->langCombo), 0);
    EXPECT_EQ(component->getIndexOfChildComponent(component->cancelButton), 3);
}

TEST_F(MainComponentViewTest, WarningImageShowsOnlyOnTheErrorPages)
{
    for (int fileValid = 0; fileValid <= 1; ++fileValid)
    {
        for (int status = 0; status <= MainComponent::STATUS_FAILED; ++status)
        {
            showPage(status, fileValid, 0);
            const bool warns = (status != 0 && fileValid == 0) || status == 1 || status == 5;
            const auto image = snapshot(*component);
            const auto yellow = boundsOfPixels(image, isYellow);
            EXPECT_EQ(!yellow.isEmpty(), warns) << "status " << status << ", file valid " << fileValid;
            EXPECT_TRUE(!warns || (warningSquare.contains(yellow) && yellow.getHeight() > 40))
                << yellow.toString();
        }
    }
}

TEST_F(MainComponentViewTest, ChoosingALanguageRebuildsThePageTitleAndCaptionsInIt)
{
    juce::Component window;
    window.addChildComponent(*component);
    component->updateCtrl();
    EXPECT_EQ(window.getName(), texts().getString(STR_TITLE));

    const unsigned int japanese = 11;
    component->langCombo->setSelectedId((int)japanese + 1, juce::sendNotificationSync);
    EXPECT_EQ(texts().getLocale(), japanese);
    EXPECT_EQ(window.getName(), texts().getString(STR_TITLE));
    EXPECT_EQ(component->okButton->getButtonText(), texts().getString(STR_OK));
    EXPECT_EQ(component->cancelButton->getButtonText(), texts().getString(STR_CANCEL));
    EXPECT_EQ(juce::Font::getFallbackFontName(), texts().getFont(japanese));
    EXPECT_EQ(component->glyphs.getGlyph(0).getCharacter(), texts().getString(STR_LANG_HEAD)[0]);

    // The current language again: nothing to load, but the page is built anew.
    component->glyphs.clear();
    component->comboBoxChanged(component->langCombo);
    EXPECT_GT(component->glyphs.getNumGlyphs(), 0);

    // Another box is none of its business.
    juce::ComboBox other;
    component->glyphs.clear();
    component->comboBoxChanged(&other);
    EXPECT_EQ(component->glyphs.getNumGlyphs(), 0);
    window.removeChildComponent(component.get());
}

TEST_F(MainComponentViewTest, IconsDrawInTheWarningSquare)
{
    auto drawn = [this](int iconType)
    {
        auto image = blankImage(420, 170);
        juce::Graphics g(image);
        component->drawIcon(g, iconType);
        return boundsOfPixels(image, isPainted);
    };
    EXPECT_TRUE(drawn(0).isEmpty());
    for (const int iconType : {2, 3, 4})
    {
        const auto bounds = drawn(iconType);
        EXPECT_TRUE(warningSquare.expanded(3).contains(bounds)) << iconType << " " << bounds.toString();
        EXPECT_GT(bounds.getWidth(), 60) << iconType;
    }
}
