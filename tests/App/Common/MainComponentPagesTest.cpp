#include "CustomLookAndFeel.h"
#include "GlyphCoverage.h"
#include "PageFixture.h"

#include <cstdio>
#include <optional>
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
    float x, y; // y is ignored for a text placed below the previous one
    float width, height;
    int maxLines;
    // Placed at the previous text's bottom plus this gap, its box and lines reaching the bottom.
    std::optional<float> gapBelow = std::nullopt;
};

// How each language sets its instructions: body size, lines of step 1, step 2 and the start
// sentence, whether the key names come first, and where the start sentence begins.
struct Layout
{
    float size;
    int step1Lines, step2Lines, startLines;
    bool keysFirst;
    float startY;
};
const Layout layouts[LangCount] = {
    {13, 1, 2, 2, false, 36}, {13, 1, 3, 3, false, 36}, {13, 2, 3, 3, false, 36}, {13, 1, 3, 3, false, 36},
    {13, 2, 3, 3, false, 36}, {13, 1, 3, 3, false, 36}, {13, 2, 3, 3, false, 51}, {13, 1, 3, 3, false, 36},
    {10, 1, 2, 1, true, 36},  {10, 1, 2, 1, true, 36},  {13, 1, 2, 2, true, 36},  {10, 1, 2, 2, true, 36}};

template <typename... Args> juce::String format(const juce::String& format, Args... args)
{
    char buffer[2048];
    std::snprintf(buffer, sizeof buffer, format.toRawUTF8(), args...);
    return juce::String::fromUTF8(buffer);
}

juce::String string(int id)
{
    return TxtLoader::getInstance()->getString((unsigned int)id);
}

std::vector<PageText> expectedTexts(int status, int fileValid, unsigned int language, float W, float H)
{
    const Layout& l = layouts[language];
    const char* model = "TRV-Q8";
    const auto withKeys = [&](int id)
    {
        return l.keysFirst ? format(string(id), "CH1 CUE", "FILTER", model)
                           : format(string(id), model, "CH1 CUE", "FILTER");
    };
    const auto page = [&](const juce::String& text, bool bold, float x)
    { return PageText{text, 13, bold, x, 20, W - x - 20, H - 20, (int)((H - 20) / 13.0f)}; };
    const auto below = [&](const juce::String& text, float size, float x, float width, float gap)
    { return PageText{text, size, false, x, 0, width, 0, 0, gap}; };

    if (status == MainComponent::STATUS_INIT)
        return {page(string(STR_LANG_HEAD) + "\n\n", true, 20),
                below(string(STR_LANG_PROMPT), 13, 40, W - 60, 0)};
    if (fileValid == 0)
        return {page(string(STR_FILE_ERROR), false, 105)};
    if (status == MainComponent::STATUS_CONNECTED)
        return {page(format(string(STR_UPDATE_HEAD), model) + "\n\n", true, 20),
                {withKeys(STR_HOW_TO_START), l.size, false, 40, l.startY, W - 60, 16.0f * (float)l.startLines,
                 l.startLines},
                below(format(string(STR_CUR_VERSION), 1, 5) + "\n" + format(string(STR_UPD_VERSION), 1, 23),
                      l.size, 60, W - 60, 5)};
    if (status == MainComponent::STATUS_UPDATING)
        return {page(format(string(STR_UPDATING), model) + "\n\n", true, 20),
                below(string(STR_PLEASE_WAIT), 13, 40, W - 60, 0)};
    if (status == MainComponent::STATUS_SUCCEEDED)
        return {page(format(string(STR_COMPLETE), model), false, 20)};

    // The steps to connect, under a headline when no device is there, under the error after a failure.
    std::vector<PageText> texts = {
        status == MainComponent::STATUS_DISCONNECTED
            ? PageText{format(string(STR_NOT_RECOGNIZED), model), 13, true, 105, 20, W - 120, 16, 1}
            : page(string(STR_ERROR) + "\n", false, 105)};
    float y = 36;
    texts.push_back({format(string(STR_STEP1), model), l.size, false, 105, y, W - 120, 32, l.step1Lines});
    y += l.size * (float)l.step1Lines + 3;
    texts.push_back(
        {withKeys(STR_STEP2), l.size, false, 105, y, W - 120, 16.0f * (float)l.step2Lines, l.step2Lines});
    y += l.size * (float)l.step2Lines + 3;
    texts.push_back({string(STR_STEP3), l.size, false, 105, y, W - 120, 16, 1});
    return texts;
}

juce::String visibleCharacters(const juce::String& text)
{
    juce::String visible;
    for (auto c = text.getCharPointer(); !c.isEmpty();)
        if (const auto character = c.getAndAdvance(); !juce::CharacterFunctions::isWhitespace(character))
            visible += juce::String::charToString(character);
    return visible;
}

// The glyphs of an arrangement, split into the texts that drew them.
std::vector<std::vector<juce::PositionedGlyph>> splitByText(const juce::GlyphArrangement& glyphs,
                                                            const std::vector<PageText>& texts)
{
    std::vector<std::vector<juce::PositionedGlyph>> split(texts.size());
    size_t text = 0;
    int left = visibleCharacters(texts[0].text).length();
    for (const auto& glyph : glyphs)
    {
        if (!glyph.isWhitespace())
        {
            while (left == 0 && text + 1 < texts.size())
                left = visibleCharacters(texts[++text].text).length();
            --left;
        }
        split[text].push_back(glyph);
    }
    return split;
}

float bottomOf(const std::vector<juce::PositionedGlyph>& glyphs, bool inkOnly = false)
{
    float bottom = 0;
    for (const auto& glyph : glyphs)
        if (!inkOnly || !glyph.isWhitespace())
            bottom = std::max(bottom, glyph.getBottom());
    return bottom;
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

void expectText(const PageText& expected, const std::vector<juce::PositionedGlyph>& glyphs,
                const juce::String& fontName)
{
    SCOPED_TRACE("text \"" + expected.text.toStdString() + "\"");
    ASSERT_FALSE(glyphs.empty());
    const juce::Font font(fontName, expected.size, expected.bold ? juce::Font::bold : juce::Font::plain);
    float top = 1e9f;
    juce::String otherFont;
    std::set<float> baselines;
    for (const auto& glyph : glyphs)
    {
        if (!drawnIn(glyph, font))
            otherFont += juce::String::charToString(glyph.getCharacter());
        if (glyph.isWhitespace())
            continue;
        EXPECT_GE(glyph.getLeft(), expected.x - 0.01f);
        EXPECT_LE(glyph.getRight(), expected.x + expected.width + 0.01f);
        top = std::min(top, glyph.getTop());
        baselines.insert(glyph.getBaselineY());
    }
    EXPECT_EQ(otherFont, "");
    EXPECT_NEAR(glyphs.front().getLeft(), expected.x, 0.01f);
    EXPECT_NEAR(top, expected.y, 0.01f);
    // A text with line breaks of its own is laid out line by line, without limits.
    if (!expected.text.containsAnyOf("\r\n"))
    {
        EXPECT_LE((int)baselines.size(), expected.maxLines);
        EXPECT_LE(bottomOf(glyphs), expected.y + expected.height + 0.01f);
    }
}

// Captions of OK and Cancel, 0 for a hidden button.
std::pair<int, int> captionsOf(int status, int fileValid)
{
    if (status == MainComponent::STATUS_INIT)
        return {STR_OK, STR_CANCEL};
    if (fileValid == 0 || status >= MainComponent::STATUS_SUCCEEDED)
        return {0, STR_OK};
    if (status == MainComponent::STATUS_DISCONNECTED)
        return {0, STR_CLOSE};
    if (status == MainComponent::STATUS_CONNECTED)
        return {STR_START, STR_CLOSE};
    return {0, 0};
}

struct Page
{
    int status, fileValid;
    unsigned int language;
    int width, height;
};
} // namespace

class MainComponentPagesTest : public PageFixture
{
protected:
    // Calls the check for every page of every language at every size.
    template <typename Check> void forEveryPage(Check check)
    {
        for (const auto& [width, height] : {std::pair{420, 170}, {426, 176}, {420, 171}})
            for (unsigned int language = 0; language < LangCount; ++language)
                for (int fileValid = 0; fileValid <= 1; ++fileValid)
                    for (int status = 0; status <= MainComponent::STATUS_FAILED; ++status)
                    {
                        SCOPED_TRACE("status " + std::to_string(status) + ", file valid " +
                                     std::to_string(fileValid) + ", language " + std::to_string(language) +
                                     ", " + std::to_string(width) + " x " + std::to_string(height));
                        showPage(status, fileValid, language, width, height);
                        check(Page{status, fileValid, language, width, height});
                    }
    }
};

TEST_F(MainComponentPagesTest, EveryPageShowsItsTextsInTheLanguagesFontInsideTheirBoxesApart)
{
    forEveryPage(
        [this](const Page& p)
        {
            const auto& glyphs = component->glyphs;
            const auto fontName = texts().getFont(p.language);
            EXPECT_EQ(juce::Font::getFallbackFontName(), fontName);
            EXPECT_EQ(charactersWithoutGlyph(glyphs), "");

            auto expected = expectedTexts(p.status, p.fileValid, p.language, (float)p.width, (float)p.height);
            juce::String expectedCharacters, shownCharacters;
            for (const auto& text : expected)
                expectedCharacters += visibleCharacters(text.text);
            for (const auto& glyph : glyphs)
                if (!glyph.isWhitespace())
                    shownCharacters += juce::String::charToString(glyph.getCharacter());
            ASSERT_EQ(shownCharacters, expectedCharacters);

            const auto split = splitByText(glyphs, expected);
            const float widgetsTop =
                p.status == MainComponent::STATUS_INIT || p.status == MainComponent::STATUS_UPDATING
                    ? (float)((p.height - 20) / 2)
                    : (float)p.height - 40.0f;
            for (size_t i = 0; i < expected.size(); ++i)
            {
                PageText& text = expected[i];
                if (text.gapBelow)
                {
                    text.y = bottomOf(split[i - 1]) + *text.gapBelow;
                    text.height = (float)p.height - text.y;
                    text.maxLines = (int)(text.height / 13.0f);
                }
                expectText(text, split[i], fontName);
                // No text runs into the next one or into the widgets.
                const float nextTop = i + 1 < split.size() && !split[i + 1].empty()
                                          ? split[i + 1].front().getTop()
                                          : widgetsTop;
                EXPECT_LE(bottomOf(split[i], true), nextTop + 0.5f) << text.text;
            }
        });
}

TEST_F(MainComponentPagesTest, EveryPageShowsItsWidgetsWithTheirCaptionsInTheirPlaces)
{
    forEveryPage(
        [this](const Page& p)
        {
            const juce::Rectangle<int> middle(20, (p.height - 20) / 2, p.width - 40, 20);
            EXPECT_EQ(component->langCombo->isVisible(), p.status == 0);
            EXPECT_EQ(component->langCombo->getBounds(), middle);
            if (p.status == 0)
            {
                EXPECT_EQ(component->langCombo->getSelectedId(), (int)p.language + 1);
            }
            EXPECT_EQ(component->progressBar->isVisible(), p.status == 3);
            EXPECT_EQ(component->progressBar->getBounds(), middle);

            // A lone button takes the right slot.
            const auto [okCaption, cancelCaption] = captionsOf(p.status, p.fileValid);
            const juce::Rectangle<int> right(p.width - 120, p.height - 40, 100, 20);
            auto* ok = component->okButton;
            auto* cancel = component->cancelButton;
            EXPECT_EQ(ok->isVisible(), okCaption != 0);
            EXPECT_EQ(cancel->isVisible(), cancelCaption != 0);
            if (okCaption != 0)
            {
                EXPECT_EQ(ok->getButtonText(), texts().getString((unsigned int)okCaption));
                EXPECT_EQ(ok->getBounds(), right);
            }
            if (cancelCaption != 0)
            {
                EXPECT_EQ(cancel->getButtonText(), texts().getString((unsigned int)cancelCaption));
                EXPECT_EQ(cancel->getBounds(), ok->isVisible() ? right.translated(-110, 0) : right);
            }
            for (auto* button : {ok, cancel})
            {
                EXPECT_EQ(button->getCaptionFont().getTypefaceName(), texts().getFont(p.language));
                EXPECT_TRUE(button->getCaptionFont().isBold());
                if (button->isVisible())
                {
                    EXPECT_EQ(charactersWithoutGlyph(button->getCaptionFont(), button->getButtonText()), "");
                }
            }
        });
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
