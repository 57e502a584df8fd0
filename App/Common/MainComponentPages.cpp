#include "MainComponent.h"

#include "AlineButton.h"
#include "TxtLoader.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace
{
// The device keys that the instructions name; they are not translated.
const char* const firstKey = "CH1 CUE";
const char* const secondKey = "FILTER";

const float headSize = 13.0f;
const float lineStep = 13.0f; // the line limit's divisor, whatever the text size
const float minimumHorizontalScale = 0.7f;

// How each language lays out its instructions: body size, line counts, and whether the key
// names come before the model name in its sentences.
struct InstructionLayout
{
    float bodySize;
    int step1Lines;
    int step2Lines;
    int startLines;
    bool keysFirst;
    float startDrop; // from the top text to the start sentence on the device-ready page
};

const InstructionLayout instructionLayouts[LangCount] = {
    {13.0f, 1, 2, 2, false, 16.0f}, // en
    {13.0f, 1, 3, 3, false, 16.0f}, // fr
    {13.0f, 2, 3, 3, false, 16.0f}, // de
    {13.0f, 1, 3, 3, false, 16.0f}, // es
    {13.0f, 2, 3, 3, false, 16.0f}, // it
    {13.0f, 1, 3, 3, false, 16.0f}, // nl
    {13.0f, 2, 3, 3, false, 31.0f}, // ru
    {13.0f, 1, 3, 3, false, 16.0f}, // pt
    {10.0f, 1, 2, 1, true, 16.0f},  // zh-Hans
    {10.0f, 1, 2, 1, true, 16.0f},  // zh-Hant
    {13.0f, 1, 2, 2, true, 16.0f},  // ko
    {10.0f, 1, 2, 2, true, 16.0f},  // ja
};

const InstructionLayout& layoutFor(int language)
{
    return instructionLayouts[juce::jlimit(0, (int)LangCount - 1, language)];
}

juce::String formatted(const char* format, ...)
{
    char* buffer = nullptr;
    va_list args;
    va_start(args, format);
    const int length = vasprintf(&buffer, format, args);
    va_end(args);

    if (length < 0 || buffer == nullptr)
        return {};
    const juce::String text = juce::String::fromUTF8(buffer, -1);
    free(buffer);
    return text;
}

const char* utf8(unsigned int stringId)
{
    return TxtLoader::getInstance()->getString(stringId).toRawUTF8();
}

juce::Font headFont(const juce::String& fontName)
{
    return juce::Font(fontName, headSize, juce::Font::bold);
}

juce::Font bodyFont(const juce::String& fontName, float size)
{
    return juce::Font(fontName, size, juce::Font::plain);
}
} // namespace

void MainComponent::updateCtrl()
{
    auto* texts = TxtLoader::getInstance();
    const juce::String& fontName = texts->getFont();
    juce::Font::setFallbackFontName(fontName);

    if (auto* window = getParentComponent())
        window->setName(texts->getString(STR_TITLE));

    glyphs.clear();
    const int language = (int)texts->getLocale();
    addPageTexts(language, fontName);
    updateWidgets(language);

    okButton->setFont(fontName);
    cancelButton->setFont(fontName);
    updateButtons();
    repaint();
}

void MainComponent::addPageTexts(int language, const juce::String& fontName)
{
    const auto* texts = TxtLoader::getInstance();
    const char* model = utf8(fileValid + 1);

    if (status == STATUS_INIT)
    {
        addTextDown(headFont(fontName), texts->getString(STR_LANG_HEAD) + "\n\n", 20.0f, 20.0f, 20.0f);
        addTextDown(bodyFont(fontName, headSize), texts->getString(STR_LANG_PROMPT), 40.0f,
                    bottomOfLastGlyph(), 20.0f);
    }
    else if (fileValid == 0)
    {
        addTextDown(bodyFont(fontName, headSize), texts->getString(STR_FILE_ERROR), 105.0f, 20.0f, 20.0f);
    }
    else if (status == STATUS_DISCONNECTED)
    {
        dispHowToUpdate(105.0f, 20.0f, language, fontName, true);
    }
    else if (status == STATUS_CONNECTED)
    {
        addTextDown(headFont(fontName), formatted(utf8(STR_UPDATE_HEAD), model) + "\n\n", 20.0f, 20.0f,
                    20.0f);
        dispHowToStart(40.0f, 20.0f + layoutFor(language).startDrop, language, fontName);
        addVersionLines(language, fontName);
    }
    else if (status == STATUS_UPDATING)
    {
        addTextDown(headFont(fontName), formatted(utf8(STR_UPDATING), model) + "\n\n", 20.0f, 20.0f, 20.0f);
        addTextDown(bodyFont(fontName, headSize), texts->getString(STR_PLEASE_WAIT), 40.0f,
                    bottomOfLastGlyph(), 20.0f);
    }
    else if (status == STATUS_SUCCEEDED)
    {
        addTextDown(bodyFont(fontName, headSize), formatted(utf8(STR_COMPLETE), model), 20.0f, 20.0f, 20.0f);
    }
    else if (status == STATUS_FAILED)
    {
        addTextDown(bodyFont(fontName, headSize), texts->getString(STR_ERROR) + "\n", 105.0f, 20.0f, 20.0f);
        dispHowToUpdate(105.0f, 20.0f, language, fontName, false);
    }
}

void MainComponent::addVersionLines(int language, const juce::String& fontName)
{
    const int device = currentVersion;
    const int file = updInfo.version;
    const juce::String lines = formatted(utf8(STR_CUR_VERSION), device / 100, device % 100) + "\n" +
                               formatted(utf8(STR_UPD_VERSION), file / 100, file % 100);
    addTextDown(bodyFont(fontName, layoutFor(language).bodySize), lines, 60.0f, bottomOfLastGlyph() + 5.0f,
                0.0f);
}

void MainComponent::addText(const juce::Font& font, const juce::String& text, float x, float y, float width,
                            float height, int maxLines)
{
    glyphs.addFittedText(font, text, x, y, width, height, juce::Justification(juce::Justification::topLeft),
                         maxLines, minimumHorizontalScale);
}

void MainComponent::addTextDown(const juce::Font& font, const juce::String& text, float x, float y,
                                float rightMargin)
{
    const float width = (float)getWidth();
    const float height = (float)getHeight();
    addText(font, text, x, y, width - x - rightMargin, height - y, (int)((height - y) / lineStep));
}

// A line break's glyph has no width, so a bounding box would leave it out: its own bottom is what
// places the next text one empty line below a headline.
float MainComponent::bottomOfLastGlyph() const
{
    const int count = glyphs.getNumGlyphs();
    return count > 0 ? glyphs.begin()[count - 1].getBottom() : 0.0f;
}

void MainComponent::dispHowToUpdate(float x, float y, int language, const juce::String& fontName,
                                    bool withHeadline)
{
    const InstructionLayout& layout = layoutFor(language);
    const float width = (float)getWidth() - (x + 15.0f);
    const float size = layout.bodySize;
    const char* model = utf8(fileValid + 1);

    if (withHeadline)
        addText(headFont(fontName), formatted(utf8(STR_NOT_RECOGNIZED), model), x, y, width, 16.0f, 1);
    y += 16.0f;

    addText(bodyFont(fontName, size), formatted(utf8(STR_STEP1), model), x, y, width, 32.0f,
            layout.step1Lines);
    y += size * (float)layout.step1Lines + 3.0f;

    const juce::String step2 = layout.keysFirst ? formatted(utf8(STR_STEP2), firstKey, secondKey, model)
                                                : formatted(utf8(STR_STEP2), model, firstKey, secondKey);
    addText(bodyFont(fontName, size), step2, x, y, width, 16.0f * (float)layout.step2Lines,
            layout.step2Lines);
    y += size * (float)layout.step2Lines + 3.0f;

    addText(bodyFont(fontName, size), TxtLoader::getInstance()->getString(STR_STEP3), x, y, width, 16.0f, 1);
}

void MainComponent::dispHowToStart(float x, float y, int language, const juce::String& fontName)
{
    const InstructionLayout& layout = layoutFor(language);
    const float width = (float)getWidth() - (x + 20.0f);
    const char* model = utf8(fileValid + 1);

    const juce::String sentence = layout.keysFirst
                                      ? formatted(utf8(STR_HOW_TO_START), firstKey, secondKey, model)
                                      : formatted(utf8(STR_HOW_TO_START), model, firstKey, secondKey);
    addText(bodyFont(fontName, layout.bodySize), sentence, x, y, width, 16.0f * (float)layout.startLines,
            layout.startLines);
}

void MainComponent::updateWidgets(int language)
{
    const bool onLanguagePage = status == STATUS_INIT;
    langCombo->setVisible(onLanguagePage);
    if (onLanguagePage)
    {
        langCombo->setSelectedId(language + 1, juce::dontSendNotification);
        // Has the box's label take the new fallback font.
        langCombo->resized();
    }
    progressBar->setVisible(status == STATUS_UPDATING);
}

void MainComponent::updateButtons()
{
    auto* texts = TxtLoader::getInstance();
    const juce::Rectangle<int> right(getWidth() - 120, getHeight() - 40, 100, 20);
    const juce::Rectangle<int> left(getWidth() - 230, getHeight() - 40, 100, 20);

    auto show = [texts](AlineButton* button, unsigned int caption, juce::Rectangle<int> slot)
    {
        button->setVisible(true);
        button->setButtonText(texts->getString(caption));
        button->setBounds(slot);
    };

    if (status == STATUS_INIT)
    {
        show(okButton, STR_OK, right);
        show(cancelButton, STR_CANCEL, left);
    }
    else if (fileValid == 0 || status == STATUS_SUCCEEDED || status == STATUS_FAILED)
    {
        okButton->setVisible(false);
        show(cancelButton, STR_OK, right);
    }
    else if (status == STATUS_DISCONNECTED)
    {
        okButton->setVisible(false);
        show(cancelButton, STR_CLOSE, right);
    }
    else if (status == STATUS_CONNECTED)
    {
        show(okButton, STR_START, right);
        show(cancelButton, STR_CLOSE, left);
    }
    else
    {
        okButton->setVisible(false);
        cancelButton->setVisible(false);
    }
}
