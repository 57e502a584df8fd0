#include "CustomLookAndFeel.h"

#include "TxtLoader.h"

namespace
{
// Appends a closed outline that runs clockwise from the top-left, each corner curved or square.
void createRoundedPath(juce::Path& path, float x, float y, float w, float h, float cs, bool curveTopLeft,
                       bool curveTopRight, bool curveBottomLeft, bool curveBottomRight)
{
    const float d = cs * 2.0f;
    const float pi = juce::MathConstants<float>::pi;

    if (curveTopLeft)
    {
        path.startNewSubPath(x, y + cs);
        path.addArc(x, y, d, d, pi * 1.5f, pi * 2.0f);
    }
    else
    {
        path.startNewSubPath(x, y);
    }

    if (curveTopRight)
    {
        path.lineTo(x + w - cs, y);
        path.addArc(x + w - d, y, d, d, 0.0f, pi * 0.5f);
    }
    else
    {
        path.lineTo(x + w, y);
    }

    if (curveBottomRight)
    {
        path.lineTo(x + w, y + h - cs);
        path.addArc(x + w - d, y + h - d, d, d, pi * 0.5f, pi);
    }
    else
    {
        path.lineTo(x + w, y + h);
    }

    if (curveBottomLeft)
    {
        path.lineTo(x + cs, y + h);
        path.addArc(x, y + h - d, d, d, pi, pi * 1.5f);
    }
    else
    {
        path.lineTo(x, y + h);
    }

    path.closeSubPath();
}

float indentFor(bool connected)
{
    return connected ? 0.1f : 0.5f;
}

const juce::Colour menuHighlight(0xff000040);
const juce::Colour progressFillTop(167, 167, 167);
const juce::Colour progressFillMiddle(100, 100, 100);
const juce::Colour progressFillBottom(108, 108, 108);
const int progressInset = 2;

// Draws one menu item with the fallback font of the language that the text names, if any,
// and puts the previous fallback font back afterwards.
class LanguageFallbackFont
{
public:
    explicit LanguageFallbackFont(const juce::String& itemText) : saved(juce::Font::getFallbackFontName())
    {
        auto* texts = TxtLoader::getInstance();
        for (unsigned int i = 0; i < LangCount; ++i)
        {
            if (itemText.equalsIgnoreCase(texts->getLang(i)))
            {
                juce::Font::setFallbackFontName(texts->getFont(i));
                break;
            }
        }
    }

    ~LanguageFallbackFont() { juce::Font::setFallbackFontName(saved); }

private:
    juce::String saved;
};
} // namespace

void BtnLookAndFeel::drawButtonBackground(juce::Graphics& g, juce::Button& button,
                                          const juce::Colour& backgroundColour, bool, bool isButtonDown)
{
    const int w = button.getWidth();
    const int h = button.getHeight();
    const float outlineThickness = 1.0f;

    const float left = indentFor(button.isConnectedOnLeft());
    const float right = indentFor(button.isConnectedOnRight());
    const float top = indentFor(button.isConnectedOnTop());
    const float bottom = indentFor(button.isConnectedOnBottom());

    drawBackground(g, left, top, (float)w - left - right, (float)h - top - bottom, backgroundColour,
                   outlineThickness, -1.0f, button.isConnectedOnLeft(), button.isConnectedOnRight(),
                   button.isConnectedOnTop(), button.isConnectedOnBottom(), isButtonDown);
}

void BtnLookAndFeel::drawBackground(juce::Graphics& g, float x, float y, float width, float height,
                                    const juce::Colour& backgroundColour, float outlineThickness,
                                    float cornerSize, bool flatOnLeft, bool flatOnRight, bool flatOnTop,
                                    bool flatOnBottom, bool isButtonDown)
{
    if (width <= outlineThickness || height <= outlineThickness)
        return;

    const float cs = cornerSize < 0.0f ? juce::jmin(width * 0.5f, height * 0.5f) : cornerSize;

    juce::Path outline;
    createRoundedPath(outline, x, y, width, height, cs, !(flatOnLeft || flatOnTop),
                      !(flatOnRight || flatOnTop), !(flatOnLeft || flatOnBottom),
                      !(flatOnRight || flatOnBottom));

    const juce::Colour topColour = isButtonDown ? juce::Colour(185, 200, 240) : juce::Colours::white;
    const juce::Colour middleColour =
        isButtonDown ? juce::Colour(82, 156, 231) : backgroundColour.darker(0.2f);
    const juce::Colour bottomColour = isButtonDown ? juce::Colour(140, 222, 253) : juce::Colours::white;

    juce::ColourGradient gradient(topColour, 0.0f, y, bottomColour, 0.0f, y + height, false);
    gradient.addColour(0.0, topColour);
    gradient.addColour(0.5, middleColour);
    gradient.addColour(1.0, bottomColour);

    g.setGradientFill(gradient);
    g.fillPath(outline);

    g.setColour(backgroundColour.darker(0.7f));
    g.strokePath(outline, juce::PathStrokeType(outlineThickness));
}

void LangLookAndFeel::drawPopupMenuItem(juce::Graphics& g, const juce::Rectangle<int>& area, bool isSeparator,
                                        bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu,
                                        const juce::String& text, const juce::String& shortcutKeyText,
                                        const juce::Drawable* icon, const juce::Colour* textColour)
{
    const juce::Graphics::ScopedSaveState state(g);
    g.setOrigin(area.getPosition());

    const int w = area.getWidth();
    const int h = area.getHeight();
    const float m = (float)h * 0.5f;

    if (isSeparator)
    {
        const float inset = 5.5f;
        g.setColour(juce::Colour(0x33000000));
        g.drawLine(inset, m, (float)w - inset, m);
        g.setColour(juce::Colour(0x66ffffff));
        g.drawLine(inset, m + 1.0f, (float)w - inset, m + 1.0f);
        return;
    }

    const juce::Colour itemTextColour =
        textColour != nullptr ? *textColour : findColour(juce::PopupMenu::textColourId);

    if (isHighlighted)
    {
        g.setColour(menuHighlight);
        g.fillRect(1, 1, w - 2, h - 2);
        g.setColour(findColour(juce::PopupMenu::highlightedTextColourId));
    }
    else
    {
        g.setColour(itemTextColour);
    }

    if (!isActive)
        g.setOpacity(0.3f);

    const LanguageFallbackFont fallback(text);

    juce::Font font(getPopupMenuFont());
    const float largestHeight = (float)h / 1.3f;
    if (font.getHeight() > largestHeight)
        font.setHeight(largestHeight);
    g.setFont(font);

    const int left = (h * 5) / 4;

    if (icon != nullptr)
    {
        icon->drawWithin(g, juce::Rectangle<float>(2.0f, 1.0f, (float)(left - 4), (float)(h - 2)),
                         juce::RectanglePlacement(juce::RectanglePlacement::centred |
                                                  juce::RectanglePlacement::onlyReduceInSize),
                         1.0f);
    }
    else if (isTicked)
    {
        const juce::Path tick(getTickShape(1.0f));
        const float ascent = font.getAscent();
        g.fillPath(tick, tick.getTransformToScaleToFit(2.0f, m - ascent * 0.5f, (float)(left - 4), ascent,
                                                       true, juce::Justification::centred));
    }

    g.drawFittedText(text, left, 0, w - (left + 4), h, juce::Justification::centredLeft, 1, 0.7f);

    if (shortcutKeyText.isNotEmpty())
    {
        juce::Font shortcutFont(g.getCurrentFont());
        shortcutFont.setHeight(shortcutFont.getHeight() * 0.75f);
        shortcutFont.setHorizontalScale(0.95f);
        g.setFont(shortcutFont);
        g.drawText(shortcutKeyText, left, 0, w - (left + 8), h, juce::Justification::centredRight, true);
    }

    if (hasSubMenu)
    {
        const float arrowHeight = 0.6f * getPopupMenuFont().getAscent();
        const float x = (float)w - (float)h * 0.6f;
        juce::Path arrow;
        arrow.addTriangle(x, m - arrowHeight * 0.5f, x, m + arrowHeight * 0.5f, x + arrowHeight * 0.6f, m);
        g.fillPath(arrow);
    }
}

void LangLookAndFeel::drawLabel(juce::Graphics& g, juce::Label& label)
{
    const LanguageFallbackFont fallback(label.getText());
    FontLookAndFeel::drawLabel(g, label);
}

void ProgressLookAndFeel::drawProgressBar(juce::Graphics& g, juce::ProgressBar& progressBar, int width,
                                          int height, double progress, const juce::String& textToShow)
{
    g.fillAll(progressBar.findColour(juce::ProgressBar::backgroundColourId));

    const float inset = (float)progressInset;
    juce::ColourGradient gradient(progressFillTop, inset, inset, progressFillBottom, inset,
                                  (float)(height - 2 * progressInset), false);
    gradient.addColour(0.0, progressFillTop);
    gradient.addColour(0.5, progressFillMiddle);
    gradient.addColour(1.0, progressFillBottom);
    g.setGradientFill(gradient);

    const double innerWidth = (double)(width - 2 * progressInset);
    const float filled = (float)juce::jlimit(0.0, innerWidth, progress * innerWidth);
    g.fillRect(inset, inset, filled, (float)(height - 2 * progressInset));

    if (textToShow.isNotEmpty())
    {
        g.setColour(juce::Colours::white);
        g.setFont(juce::Font((float)height * 0.8f, juce::Font::plain));
        g.drawText(textToShow, 0, 0, width, height, juce::Justification::centred, false);
    }
}
