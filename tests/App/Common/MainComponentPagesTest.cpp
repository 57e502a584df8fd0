#include "CustomLookAndFeel.h"
#include "GlyphCoverage.h"
#include "PageFixture.h"

#include <cstdio>
#include <set>
#include <vector>

namespace
{
// One text of a page as the user should see it: its words, font and box.
struct PageText
{
    juce::String text;
    float size;
    bool bold;
    float x;
    float y; // ignored when below is set
    float width;
    float height; // for a text placed below another: computed from the component's height
    int maxLines;
    bool below = false; // starts at the bottom of the previous text, plus gap
    float gap = 0.0f;
};

// How each language sets its instructions.
struct Instructions
{
    float size;
    int step1Lines;
    int step2Lines;
    int startLines;
    bool keysFirst;
};

Instructions instructionsOf(unsigned int language)
{
    switch (language)
    {
    case 0:
        return {13, 1, 2, 2, false};
    case 2:
    case 4:
    case 6:
        return {13, 2, 3, 3, false};
    case 8:
    case 9:
        return {10, 1, 2, 1, true};
    case 10:
        return {13, 1, 2, 2, true};
    case 11:
        return {10, 1, 2, 2, true};
    default:
        return {13, 1, 3, 3, false};
    }
}

template <typename... Args> juce::String format(const juce::String& format, Args... args)
{
    char buffer[2048];
    std::snprintf(buffer, sizeof buffer, format.toRawUTF8(), args...);
    return juce::String::fromUTF8(buffer);
}

class ExpectedPage
{
public:
    ExpectedPage(int status, int fileValid, unsigned int language, float width, float height)
        : texts(*TxtLoader::getInstance()), language(language), fileValid(fileValid), W(width), H(height),
          model(texts.getString((unsigned int)fileValid + 1).toRawUTF8()), steps(instructionsOf(language))
    {
        if (status == MainComponent::STATUS_INIT)
        {
            add({string(STR_LANG_HEAD) + "\n\n", 13, true, 20, 20, W - 40, H - 20, lines(20)});
            addBelow(string(STR_LANG_PROMPT), 13, 40, W - 60, 0);
        }
        else if (fileValid == 0)
            add({string(STR_FILE_ERROR), 13, false, 105, 20, W - 125, H - 20, lines(20)});
        else if (status == MainComponent::STATUS_DISCONNECTED)
            addConnectSteps(true);
        else if (status == MainComponent::STATUS_CONNECTED)
            addReadyPage();
        else if (status == MainComponent::STATUS_UPDATING)
        {
            add({format(string(STR_UPDATING), model) + "\n\n", 13, true, 20, 20, W - 40, H - 20, lines(20)});
            addBelow(string(STR_PLEASE_WAIT), 13, 40, W - 60, 0);
        }
        else if (status == MainComponent::STATUS_SUCCEEDED)
            add({format(string(STR_COMPLETE), model), 13, false, 20, 20, W - 40, H - 20, lines(20)});
        else
        {
            add({string(STR_ERROR) + "\n", 13, false, 105, 20, W - 125, H - 20, lines(20)});
            addConnectSteps(false);
        }
    }

    int lines(float y) const { return (int)((H - y) / 13.0f); }

    std::vector<PageText> list;

private:
    juce::String string(int id) const { return texts.getString((unsigned int)id); }
    void add(const PageText& text) { list.push_back(text); }

    void addBelow(const juce::String& text, float size, float x, float width, float gap)
    {
        PageText below{text, size, false, x, 0, width, 0, 0};
        below.below = true;
        below.gap = gap;
        list.push_back(below);
    }

    template <typename Format> juce::String withKeys(Format id) const
    {
        return steps.keysFirst ? format(string(id), "CH1 CUE", "FILTER", model)
                               : format(string(id), model, "CH1 CUE", "FILTER");
    }

    void addConnectSteps(bool headline)
    {
        const float x = 105, w = W - 120;
        const float s = steps.size;
        float y = 20;
        if (headline)
            add({format(string(STR_NOT_RECOGNIZED), model), 13, true, x, y, w, 16, 1});
        y += 16;
        add({format(string(STR_STEP1), model), s, false, x, y, w, 32, steps.step1Lines});
        y += s * (float)steps.step1Lines + 3;
        add({withKeys(STR_STEP2), s, false, x, y, w, 16.0f * (float)steps.step2Lines, steps.step2Lines});
        y += s * (float)steps.step2Lines + 3;
        add({string(STR_STEP3), s, false, x, y, w, 16, 1});
    }

    void addReadyPage()
    {
        add({format(string(STR_UPDATE_HEAD), model) + "\n\n", 13, true, 20, 20, W - 40, H - 20, lines(20)});
        const float startY = language == 6 ? 51.0f : 36.0f;
        add({withKeys(STR_HOW_TO_START), steps.size, false, 40, startY, W - 60,
             16.0f * (float)steps.startLines, steps.startLines});
        const juce::String versions =
            format(string(STR_CUR_VERSION), 1, 5) + "\n" + format(string(STR_UPD_VERSION), 1, 23);
        addBelow(versions, steps.size, 60, W - 60, 5);
    }

    TxtLoader& texts;
    unsigned int language;
    int fileValid;
    float W, H;
    const char* model;
    Instructions steps;
};

juce::String visibleCharacters(const juce::String& text)
{
    juce::String visible;
    for (auto c = text.getCharPointer(); !c.isEmpty();)
    {
        const auto character = c.getAndAdvance();
        if (!juce::CharacterFunctions::isWhitespace(character))
            visible += juce::String::charToString(character);
    }
    return visible;
}

// The glyphs of an arrangement, split into the texts that drew them.
std::vector<std::vector<juce::PositionedGlyph>> splitByText(const juce::GlyphArrangement& glyphs,
                                                            const std::vector<PageText>& texts)
{
    std::vector<std::vector<juce::PositionedGlyph>> split(texts.size());
    size_t text = 0;
    int left = texts.empty() ? 0 : visibleCharacters(texts[0].text).length();
    for (const auto& glyph : glyphs)
    {
        if (!glyph.isWhitespace())
        {
            while (left == 0 && text + 1 < texts.size())
                left = visibleCharacters(texts[++text].text).length();
            --left;
        }
        if (text < split.size())
            split[text].push_back(glyph);
    }
    return split;
}

float bottomOf(const std::vector<juce::PositionedGlyph>& glyphs)
{
    float bottom = 0;
    for (const auto& glyph : glyphs)
        bottom = std::max(bottom, glyph.getBottom());
    return bottom;
}

std::set<float> baselinesOf(const std::vector<juce::PositionedGlyph>& glyphs)
{
    std::set<float> baselines;
    for (const auto& glyph : glyphs)
        if (!glyph.isWhitespace())
            baselines.insert(glyph.getBaselineY());
    return baselines;
}

// Whether a glyph was laid out in a font: its height, and the ink that font's glyph puts above
// and below the baseline, which a squeeze of the line leaves alone.
bool drawnIn(const juce::PositionedGlyph& glyph, const juce::Font& font)
{
    if (std::abs(glyph.getBottom() - glyph.getTop() - font.getHeight()) > 0.001f)
        return false;
    if (glyph.isWhitespace())
        return true;
    juce::Array<int> numbers;
    juce::Array<float> offsets;
    font.getGlyphPositions(juce::String::charToString(glyph.getCharacter()), numbers, offsets);
    const juce::PositionedGlyph reference(font, glyph.getCharacter(), numbers.getFirst(), glyph.getLeft(),
                                          glyph.getBaselineY(), glyph.getRight() - glyph.getLeft(), false);
    juce::Path shown, expected;
    glyph.createPath(shown);
    reference.createPath(expected);
    return std::abs(shown.getBounds().getY() - expected.getBounds().getY()) < 0.01f &&
           std::abs(shown.getBounds().getBottom() - expected.getBounds().getBottom()) < 0.01f;
}

void expectText(const PageText& expected, const std::vector<juce::PositionedGlyph>& glyphs, float y,
                const juce::String& fontName, const std::string& where)
{
    SCOPED_TRACE(where + " text \"" + expected.text.toStdString() + "\"");
    if (glyphs.empty())
    {
        ADD_FAILURE() << "no glyphs";
        return;
    }
    const juce::Font font(fontName, expected.size, expected.bold ? juce::Font::bold : juce::Font::plain);
    float top = 1e9f;
    juce::String otherFont;
    for (const auto& glyph : glyphs)
    {
        if (!drawnIn(glyph, font))
            otherFont += juce::String::charToString(glyph.getCharacter());
        if (glyph.isWhitespace())
            continue;
        EXPECT_GE(glyph.getLeft(), expected.x - 0.01f);
        EXPECT_LE(glyph.getRight(), expected.x + expected.width + 0.01f);
        top = std::min(top, glyph.getTop());
    }
    EXPECT_EQ(otherFont, "");
    EXPECT_NEAR(glyphs.front().getLeft(), expected.x, 0.01f);
    EXPECT_NEAR(top, y, 0.01f);

    // A text with line breaks of its own is laid out line by line, without limits.
    if (!expected.text.containsAnyOf("\r\n"))
    {
        EXPECT_LE((int)baselinesOf(glyphs).size(), expected.maxLines);
        EXPECT_LE(bottomOf(glyphs), y + expected.height + 0.01f);
    }
}

void expectPageTexts(const juce::GlyphArrangement& glyphs, const ExpectedPage& page,
                     const juce::String& fontName, float height, const std::string& where)
{
    juce::String expectedCharacters, shownCharacters;
    for (const auto& text : page.list)
        expectedCharacters += visibleCharacters(text.text);
    for (const auto& glyph : glyphs)
        if (!glyph.isWhitespace())
            shownCharacters += juce::String::charToString(glyph.getCharacter());
    ASSERT_EQ(shownCharacters, expectedCharacters) << where;

    const auto split = splitByText(glyphs, page.list);
    for (size_t i = 0; i < page.list.size(); ++i)
    {
        PageText text = page.list[i];
        float y = text.y;
        if (text.below)
        {
            y = bottomOf(split[i - 1]) + text.gap;
            text.height = height - y;
            text.maxLines = page.lines(y);
        }
        expectText(text, split[i], y, fontName, where);
    }
}

std::string describe(int status, int fileValid, unsigned int language, int width, int height)
{
    return "status " + std::to_string(status) + ", file valid " + std::to_string(fileValid) + ", language " +
           std::to_string(language) + ", " + std::to_string(width) + " x " + std::to_string(height);
}

const std::pair<int, int> sizes[] = {{420, 170}, {426, 176}, {420, 171}};
} // namespace

class MainComponentPagesTest : public PageFixture
{
protected:
    // Calls the check for every page of every language at every size.
    template <typename Check> void forEveryPage(Check check, bool everySize = true)
    {
        for (const auto& [width, height] : sizes)
        {
            for (unsigned int language = 0; language < LangCount; ++language)
                for (int fileValid = 0; fileValid <= 1; ++fileValid)
                    for (int status = 0; status <= MainComponent::STATUS_FAILED; ++status)
                    {
                        showPage(status, fileValid, language, width, height);
                        check(status, fileValid, language, width, height,
                              describe(status, fileValid, language, width, height));
                    }
            if (!everySize)
                return;
        }
    }
};

TEST_F(MainComponentPagesTest, EveryPageShowsItsTextsInTheLanguagesFontInsideTheirBoxes)
{
    forEveryPage(
        [this](int status, int fileValid, unsigned int language, int width, int height,
               const std::string& where)
        {
            const ExpectedPage page(status, fileValid, language, (float)width, (float)height);
            expectPageTexts(component->glyphs, page, texts().getFont(language), (float)height, where);
            EXPECT_EQ(juce::Font::getFallbackFontName(), texts().getFont(language)) << where;
        });
}

TEST_F(MainComponentPagesTest, EveryPageShowsItsWidgetsWithTheirCaptionsInTheirPlaces)
{
    forEveryPage(
        [this](int status, int fileValid, unsigned int language, int width, int height,
               const std::string& where)
        {
            SCOPED_TRACE(where);
            const juce::Rectangle<int> middle(20, (height - 20) / 2, width - 40, 20);
            EXPECT_EQ(component->langCombo->isVisible(), status == 0);
            EXPECT_EQ(component->langCombo->getBounds(), middle);
            if (status == 0)
            {
                EXPECT_EQ(component->langCombo->getSelectedId(), (int)language + 1);
            }
            EXPECT_EQ(component->progressBar->isVisible(), status == 3);
            EXPECT_EQ(component->progressBar->getBounds(), middle);

            // Captions of OK and Cancel, 0 for a hidden button; a lone button takes the right slot.
            std::pair<int, int> captions{0, STR_OK};
            if (status == 0)
                captions = {STR_OK, STR_CANCEL};
            else if (status == 1 && fileValid == 1)
                captions = {0, STR_CLOSE};
            else if (status == 2 && fileValid == 1)
                captions = {STR_START, STR_CLOSE};
            else if (status == 3 && fileValid == 1)
                captions = {0, 0};
            const juce::Rectangle<int> right(width - 120, height - 40, 100, 20);
            auto* ok = component->okButton;
            auto* cancel = component->cancelButton;
            EXPECT_EQ(ok->isVisible(), captions.first != 0);
            EXPECT_EQ(cancel->isVisible(), captions.second != 0);
            if (captions.first != 0)
            {
                EXPECT_EQ(ok->getButtonText(), texts().getString((unsigned int)captions.first));
                EXPECT_EQ(ok->getBounds(), right);
            }
            if (captions.second != 0)
            {
                EXPECT_EQ(cancel->getButtonText(), texts().getString((unsigned int)captions.second));
                EXPECT_EQ(cancel->getBounds(), ok->isVisible() ? right.translated(-110, 0) : right);
            }
            for (auto* button : {ok, cancel})
            {
                EXPECT_EQ(button->getCaptionFont().getTypefaceName(), texts().getFont(language));
                EXPECT_TRUE(button->getCaptionFont().isBold());
            }
        });
}

TEST_F(MainComponentPagesTest, NoCharacterOfAnyPageOrCaptionLacksAGlyph)
{
    forEveryPage(
        [this](int, int, unsigned int, int, int, const std::string& where)
        {
            EXPECT_EQ(charactersWithoutGlyph(component->glyphs), "") << where;
            for (auto* button : {component->okButton, component->cancelButton})
            {
                if (button->isVisible())
                {
                    EXPECT_EQ(charactersWithoutGlyph(button->getCaptionFont(), button->getButtonText()), "")
                        << where;
                }
            }
        },
        false);
}

TEST_F(MainComponentPagesTest, NoLanguageNameInTheMenuOrTheBoxLacksAGlyph)
{
    const auto menuFont = component->langLookAndFeel->getPopupMenuFont();
    const auto boxFont = component->langLookAndFeel->getComboBoxFont(*component->langCombo);
    for (unsigned int i = 0; i < LangCount; ++i)
    {
        // The menu draws each name with its own language's fallback; the box shows the current one.
        juce::Font::setFallbackFontName(texts().getFont(i));
        EXPECT_EQ(charactersWithoutGlyph(menuFont, texts().getLang(i)), "") << i;
        EXPECT_EQ(charactersWithoutGlyph(boxFont, texts().getLang(i)), "") << i;
    }
}

TEST_F(MainComponentPagesTest, NoTextRunsIntoTheNextOneOrIntoTheWidgets)
{
    forEveryPage(
        [this](int status, int fileValid, unsigned int language, int width, int height,
               const std::string& where)
        {
            const ExpectedPage page(status, fileValid, language, (float)width, (float)height);
            const auto split = splitByText(component->glyphs, page.list);
            float widgetsTop = (float)height - 40.0f;
            if (status == 0 || status == 3)
                widgetsTop = (float)((height - 20) / 2);
            for (size_t i = 0; i < split.size(); ++i)
            {
                float inkBottom = 0;
                for (const auto& glyph : split[i])
                    if (!glyph.isWhitespace())
                        inkBottom = std::max(inkBottom, glyph.getBottom());
                const float nextTop = i + 1 < split.size() && !split[i + 1].empty()
                                          ? split[i + 1].front().getTop()
                                          : widgetsTop;
                EXPECT_LE(inkBottom, nextTop + 0.5f) << where << " text \"" << page.list[i].text << "\"";
            }
        },
        false);
}
