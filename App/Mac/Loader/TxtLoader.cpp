#include "TxtLoader.h"

#include "Binary.h"

TxtLoader* TxtLoader::m_pinstance = nullptr;

void TxtLoader::createInstance()
{
    if (m_pinstance != nullptr)
        return;
    m_pinstance = new TxtLoader();
    m_pinstance->setLocale(m_pinstance->chkLocale());
}

TxtLoader* TxtLoader::getInstance()
{
    createInstance();
    return m_pinstance;
}

void TxtLoader::releaseInstance()
{
    delete m_pinstance;
    m_pinstance = nullptr;
}

// No language is current until the first setLocale, so that it always loads.
TxtLoader::TxtLoader() : m_locale(0xFFFFFFFF), m_isLocale{}
{
    Load(&language_txt_pointer, &language_txt_length, FLG_FONT_MAC, m_fonts, LangCount);
    Load(&language_txt_pointer, &language_txt_length, FLG_LANG, m_langs, LangCount);
}

void TxtLoader::setLocale(unsigned int i)
{
    if (i == m_locale || i >= LangCount)
        return;
    m_locale = i;
    Load(i, FLG_STR, m_strings, StringCount);
}

bool TxtLoader::isLocale(unsigned int i) const
{
    return i < LangCount && m_isLocale[i];
}

const juce::String& TxtLoader::getFont(unsigned int i) const
{
    return i < LangCount ? m_fonts[i] : m_empty;
}

const juce::String& TxtLoader::getLang(unsigned int i) const
{
    return i < LangCount ? m_langs[i] : m_empty;
}

const juce::String& TxtLoader::getString(unsigned int i) const
{
    return i < StringCount ? m_strings[i] : m_empty;
}
