#include "Binary.h"

// The arrays and their lengths are generated from the data files at build time.

const char* english_txt_pointer = english_txt_array;
const char* french_txt_pointer = french_txt_array;
const char* german_txt_pointer = german_txt_array;
const char* spanish_txt_pointer = spanish_txt_array;
const char* italian_txt_pointer = italian_txt_array;
const char* dutch_txt_pointer = dutch_txt_array;
const char* russian_txt_pointer = russian_txt_array;
const char* portuguese_txt_pointer = portuguese_txt_array;
const char* simplified_chinese_txt_pointer = simplified_chinese_txt_array;
const char* traditional_chinese_txt_pointer = traditional_chinese_txt_array;
const char* korean_txt_pointer = korean_txt_array;
const char* japanese_txt_pointer = japanese_txt_array;
const char* language_txt_pointer = language_txt_array;
const char* warning_png_pointer = warning_png_array;
