#pragma once

#include "Table.h"

#include <juce_core/juce_core.h>

// The one source of the program's words: each language's font and display name, the strings of
// the current language, and which language is current. Lives from createInstance to releaseInstance.
class TxtLoader
{
public:
    static void createInstance();
    static TxtLoader* getInstance();
    static void releaseInstance();

    virtual ~TxtLoader() = default;

    // Parses the file whose pointer and length are given, keeping the strings of section flag:
    // at most max of them go into dest from index 0 on; the rest of dest keeps its content.
    // The file must be followed by a zero byte.
    static void Load(const char** text, const int* length, FlgTable flag, juce::String* dest, int max);
    // The same for the text file of language lang.
    static void Load(unsigned int lang, FlgTable flag, juce::String* dest, int max);
    // Decodes the quoted string of one zero-terminated data line into out, which must hold as
    // many bytes as the line.
    static void Read(char* line, char* out);

    void setLocale(unsigned int i);
    unsigned int getLocale() const { return m_locale; }
    bool isLocale(unsigned int i) const;

    const juce::String& getFont() const { return getFont(m_locale); }
    const juce::String& getFont(unsigned int i) const;
    const juce::String& getLang(unsigned int i) const;
    const juce::String& getString(unsigned int i) const;

    // The index of the first of the user's preferred languages that the program offers, else 0.
    unsigned int chkLocale();

private:
    TxtLoader();
    TxtLoader(const TxtLoader&) = delete;
    TxtLoader& operator=(const TxtLoader&) = delete;

    unsigned int m_locale;
    juce::String m_empty;
    bool m_isLocale[LangCount];
    juce::String m_fonts[LangCount];
    juce::String m_langs[LangCount];
    juce::String m_strings[StringCount];

    static TxtLoader* m_pinstance;
};
