#pragma once

// The embedded text files and the warning image. Each array holds a file's bytes followed by one
// zero byte; its length constant does not count that byte. The pointers are what the tables hold.

extern const char english_txt_array[];
extern const char* english_txt_pointer;
extern const int english_txt_length;

extern const char french_txt_array[];
extern const char* french_txt_pointer;
extern const int french_txt_length;

extern const char german_txt_array[];
extern const char* german_txt_pointer;
extern const int german_txt_length;

extern const char spanish_txt_array[];
extern const char* spanish_txt_pointer;
extern const int spanish_txt_length;

extern const char italian_txt_array[];
extern const char* italian_txt_pointer;
extern const int italian_txt_length;

extern const char dutch_txt_array[];
extern const char* dutch_txt_pointer;
extern const int dutch_txt_length;

extern const char russian_txt_array[];
extern const char* russian_txt_pointer;
extern const int russian_txt_length;

extern const char portuguese_txt_array[];
extern const char* portuguese_txt_pointer;
extern const int portuguese_txt_length;

extern const char simplified_chinese_txt_array[];
extern const char* simplified_chinese_txt_pointer;
extern const int simplified_chinese_txt_length;

extern const char traditional_chinese_txt_array[];
extern const char* traditional_chinese_txt_pointer;
extern const int traditional_chinese_txt_length;

extern const char korean_txt_array[];
extern const char* korean_txt_pointer;
extern const int korean_txt_length;

extern const char japanese_txt_array[];
extern const char* japanese_txt_pointer;
extern const int japanese_txt_length;

extern const char language_txt_array[];
extern const char* language_txt_pointer;
extern const int language_txt_length;

extern const char warning_png_array[];
extern const char* warning_png_pointer;
extern const int warning_png_length;
