#pragma once

#include <juce_core/juce_core.h>

// What the program knows of its languages, texts and images, fixed at build time.

constexpr unsigned int LangCount = 12;
constexpr unsigned int StringCount = 25;
constexpr unsigned int ImageCount = 1;

struct LangList
{
    juce::String code;
};

// The address of an embedded file's pointer and of its length constant.
struct TextList
{
    const char** data;
    const int* length;
};

struct ImageList
{
    const char** data;
    const int* length;
};

// The section of a text file that the parser keeps. 1 belongs to no section.
enum FlgTable
{
    FLG_NONE = 0,
    FLG_FONT_MAC = 2,
    FLG_LANG = 3,
    FLG_STR = 4
};

// The ids of a language file's strings: their order in its ":STR" section.
enum
{
    STR_EMPTY = 0,
    STR_FAMILY,
    STR_MODEL,
    STR_TITLE,
    STR_OK,
    STR_START,
    STR_CANCEL,
    STR_CLOSE,
    STR_LANG_HEAD,
    STR_LANG_PROMPT,
    STR_FILE_ERROR,
    STR_NOT_CONNECTED,
    STR_UPDATE_HEAD,
    STR_CUR_VERSION,
    STR_UPD_VERSION,
    STR_UPDATING,
    STR_PLEASE_WAIT,
    STR_COMPLETE,
    STR_ERROR,
    STR_NOT_POSSIBLE,
    STR_NOT_RECOGNIZED,
    STR_STEP1,
    STR_STEP2,
    STR_STEP3,
    STR_HOW_TO_START
};

// Indexed by language, in the one language order of the program.
extern LangList langList[LangCount];
extern TextList textList[LangCount];
extern ImageList imageList[ImageCount];

// The loaders reach the tables only through these.
extern LangList* plangList;
extern TextList* ptextList;
extern ImageList* pimageList;
