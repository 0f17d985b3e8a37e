#ifndef ENGINE_CORE_BITMAPIMAGE_H
#define ENGINE_CORE_BITMAPIMAGE_H

// RGB pixels read from a BMP file by CUtils::loadBMP: rows packed, the first row the bottom row of
// the picture. The record and its data are malloc'ed and belong to the caller: release both with
// free() (data first).
struct CBitmapImage {
    int channels;  // always 3: red, green, blue
    int width;
    int height;
    unsigned char* data;  // width * height * channels bytes
};

#endif
