// Packs PNG images into texture-atlas pages and writes the descriptor CTextureAtlas reads.
// Run:  make_atlas [options] OUTPUT_BASE INPUT...
//   An INPUT is a PNG file or a folder, whose *.png files are taken in byte order of their names.
//   Writes OUTPUT_BASE-0.png, OUTPUT_BASE-1.png, ... (one per page) and OUTPUT_BASE.json.
//   --max-size N    largest page side, a power of two from 16 to 16384 (default 2048)
//   --padding N     empty pixels between packed images, 0 to 64 (default 2)
//   --extrude N     pixels copied round each image, 0 to 64 (default 1)
//   --no-trim       keep transparent borders
//   --duration MS   every frame's duration in the descriptor (default 100)
//   e.g. make_atlas --max-size 1024 Data/atlas Data/Sprites/flame Data/Sprites/hero.png
//
// The descriptor is the JSON "hash" form TexturePacker and Aseprite write: frames keyed by the file
// name without its extension, in input order, each with frame, rotated (always false), trimmed,
// spriteSourceSize, sourceSize and duration; meta with image, size and an empty frameTags. Image
// paths are relative to the descriptor's folder. With more than one page, meta.pages lists every
// page as {image, size} and each frame names its page's index in "page"; meta.image and meta.size
// are then the first page's, so readers that know one page still read that one correctly.
//
// Pages are powers of two on each side: the engine's textures build mipmaps through GLU, which
// resamples any other size and would blur every frame. Images are read with SDL_image and converted
// exactly as the engine converts them before an upload, so a page holds the very bytes the separate
// images would have given. The output depends only on the inputs and the options.

#include "engine/core/FileReplacement.h"
#include "engine/texture/ImageLimits.h"
#include "engine/texture/PixelUpload.h"
#include "tools/PngWriter.h"

#include <SDL_image.h>
#include <nlohmann/json.hpp>

#define STBRP_STATIC
#define STB_RECT_PACK_IMPLEMENTATION
#include <stb/stb_rect_pack.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

constexpr const char* kTool = "make_atlas";
// Larger inputs are refused before they are decoded; no page could hold them anyway.
constexpr int kMaxInputSide = 16384;

struct Options {
    int maxSize = 2048;
    int padding = 2;
    int extrude = 1;
    bool trim = true;
    long duration = 100;
};

struct Image {
    std::string path;
    std::string name;
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;  // top row first
    // The kept part: what trimming leaves, in source pixels.
    int keepX = 0, keepY = 0, keepWidth = 0, keepHeight = 0;
    // Where the kept part went.
    std::size_t page = 0;
    int x = 0, y = 0;
};

struct Page {
    int width = 1, height = 1;
};

int usage()
{
    std::cerr << "Usage: " << kTool << " [options] OUTPUT_BASE INPUT...\n"
              << "Packs PNG files (an INPUT folder gives its *.png files) into OUTPUT_BASE-0.png, ... and\n"
              << "writes OUTPUT_BASE.json in the JSON hash form of TexturePacker and Aseprite.\n"
              << "  --max-size N    largest page side, a power of two from 16 to 16384 (default 2048)\n"
              << "  --padding N     empty pixels between packed images, 0 to 64 (default 2)\n"
              << "  --extrude N     pixels copied round each image, 0 to 64 (default 1)\n"
              << "  --no-trim       keep transparent borders\n"
              << "  --duration MS   every frame's duration (default 100)\n";
    return 2;
}

bool readNumber(const char* text, long min, long max, long& value)
{
    char* end = nullptr;
    errno = 0;
    const long read = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || read < min || read > max)
        return false;
    value = read;
    return true;
}

bool isPng(const fs::path& path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension == ".png";
}

// The files an input names, in the order they are packed and listed.
bool expand(const std::string& input, std::vector<std::string>& files)
{
    std::error_code error;
    if (!fs::is_directory(input, error)) {
        files.push_back(input);
        return true;
    }
    std::vector<std::string> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(input, error))
        if (isPng(entry.path()) && !fs::is_directory(entry.path(), error))
            found.push_back(entry.path().string());
    if (error) {
        std::cerr << kTool << ": cannot list " << input << ": " << error.message() << "\n";
        return false;
    }
    if (found.empty()) {
        std::cerr << kTool << ": no PNG files in " << input << "\n";
        return false;
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
    return true;
}

bool load(Image& image)
{
    const std::string refused = CImageLimits::fileRefusal(image.path, false, kMaxInputSide);
    if (!refused.empty()) {
        std::cerr << kTool << ": cannot use " << image.path << ": " << refused << "\n";
        return false;
    }
    SDL_Surface* surface = CPixelUpload::readImage(image.path);
    if (surface == nullptr) {
        std::cerr << kTool << ": cannot read " << image.path << ": " << IMG_GetError() << "\n";
        return false;
    }
    image.width = surface->w;
    image.height = surface->h;
    image.rgba = CPixelUpload::convert(surface, 4, 1, false);
    SDL_FreeSurface(surface);
    if (image.width <= 0 || image.height <= 0 || image.width > kMaxInputSide || image.height > kMaxInputSide ||
        image.rgba.size() != std::size_t(image.width) * std::size_t(image.height) * 4) {
        std::cerr << kTool << ": cannot use " << image.path << ": it holds no readable pixels\n";
        return false;
    }
    return true;
}

// The box of pixels with any alpha, grown by one transparent pixel where the image has one: drawn
// with linear filtering, the untrimmed image shows a fringe just outside its last visible pixels,
// and the kept part must cover that fringe to land pixel for pixel where the image would. An image
// with nothing visible keeps one pixel.
void trim(Image& image, bool enabled)
{
    image.keepX = 0;
    image.keepY = 0;
    image.keepWidth = image.width;
    image.keepHeight = image.height;
    if (!enabled)
        return;
    int left = image.width, top = image.height, right = -1, bottom = -1;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (image.rgba[(std::size_t(y) * image.width + x) * 4 + 3] != 0) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < 0) {
        image.keepWidth = 1;
        image.keepHeight = 1;
        return;
    }
    image.keepX = std::max(left - 1, 0);
    image.keepY = std::max(top - 1, 0);
    image.keepWidth = std::min(right + 2, image.width) - image.keepX;
    image.keepHeight = std::min(bottom + 2, image.height) - image.keepY;
}

int powerOfTwoAtLeast(int value)
{
    int side = 1;
    while (side < value)
        side *= 2;
    return side;
}

// Packs every image onto as few pages as stb_rect_pack fills, each page cut down to the power of
// two that holds what it got. Each image takes its kept part, the extrusion on every side and the
// padding to its right and below.
bool pack(std::vector<Image>& images, const Options& options, std::vector<Page>& pages)
{
    const int border = 2 * options.extrude + options.padding;
    std::vector<stbrp_rect> pending;
    for (std::size_t i = 0; i < images.size(); ++i) {
        const Image& image = images[i];
        stbrp_rect rect{};
        rect.id = int(i);
        rect.w = image.keepWidth + border;
        rect.h = image.keepHeight + border;
        if (rect.w > options.maxSize || rect.h > options.maxSize) {
            std::cerr << kTool << ": " << image.path << " needs " << rect.w << " x " << rect.h
                      << " pixels with its padding and extrusion, more than a page of " << options.maxSize << " x "
                      << options.maxSize << "; raise --max-size\n";
            return false;
        }
        pending.push_back(rect);
    }
    std::vector<stbrp_node> nodes(std::size_t(options.maxSize));
    while (!pending.empty()) {
        stbrp_context context{};
        stbrp_init_target(&context, options.maxSize, options.maxSize, nodes.data(), options.maxSize);
        stbrp_pack_rects(&context, pending.data(), int(pending.size()));
        Page page;
        std::vector<stbrp_rect> left;
        for (const stbrp_rect& rect : pending) {
            if (!rect.was_packed) {
                left.push_back(rect);
                continue;
            }
            Image& image = images[std::size_t(rect.id)];
            image.page = pages.size();
            image.x = rect.x + options.extrude;
            image.y = rect.y + options.extrude;
            // The padding beyond the last image of a row or column is not needed on the page.
            page.width = std::max(page.width, image.x + image.keepWidth + options.extrude);
            page.height = std::max(page.height, image.y + image.keepHeight + options.extrude);
        }
        if (left.size() == pending.size()) {
            std::cerr << kTool << ": stb_rect_pack placed nothing on an empty page\n";
            return false;
        }
        page.width = powerOfTwoAtLeast(page.width);
        page.height = powerOfTwoAtLeast(page.height);
        pages.push_back(page);
        pending.swap(left);
    }
    return true;
}

// Copies each kept part onto its page with its surroundings: the source's own pixels round it where
// the source has them (so filtering reads what it read in the separate image), and its outermost
// pixels repeated beyond the source's edges. Everything else stays transparent.
void paint(const std::vector<Image>& images, const Options& options, std::size_t pageIndex, png::Image& page)
{
    const int e = options.extrude;
    for (const Image& image : images) {
        if (image.page != pageIndex)
            continue;
        for (int j = -e; j < image.keepHeight + e; ++j) {
            const int sourceY = std::clamp(image.keepY + j, 0, image.height - 1);
            for (int i = -e; i < image.keepWidth + e; ++i) {
                const int sourceX = std::clamp(image.keepX + i, 0, image.width - 1);
                const uint8_t* from = &image.rgba[(std::size_t(sourceY) * image.width + sourceX) * 4];
                uint8_t* to = &page.rgba[(std::size_t(image.y + j) * page.width + (image.x + i)) * 4];
                std::memcpy(to, from, 4);
            }
        }
    }
}

Json sizeOf(int width, int height)
{
    Json size;
    size["w"] = width;
    size["h"] = height;
    return size;
}

Json describe(const std::vector<Image>& images, const std::vector<Page>& pages, const std::string& baseName,
              const Options& options)
{
    Json frames = Json::object();
    for (const Image& image : images) {
        Json frame;
        frame["frame"] = {{"x", image.x}, {"y", image.y}, {"w", image.keepWidth}, {"h", image.keepHeight}};
        frame["rotated"] = false;
        frame["trimmed"] = image.keepWidth != image.width || image.keepHeight != image.height;
        frame["spriteSourceSize"] = {{"x", image.keepX},
                                     {"y", image.keepY},
                                     {"w", image.keepWidth},
                                     {"h", image.keepHeight}};
        frame["sourceSize"] = sizeOf(image.width, image.height);
        frame["duration"] = options.duration;
        if (pages.size() > 1)
            frame["page"] = image.page;
        frames[image.name] = frame;
    }
    Json meta;
    meta["app"] = kTool;
    meta["version"] = "1";
    meta["image"] = baseName + "-0.png";
    meta["format"] = "RGBA8888";
    meta["size"] = sizeOf(pages[0].width, pages[0].height);
    meta["scale"] = "1";
    meta["frameTags"] = Json::array();
    if (pages.size() > 1) {
        Json listed = Json::array();
        for (std::size_t i = 0; i < pages.size(); ++i)
            listed.push_back({{"image", baseName + "-" + std::to_string(i) + ".png"},
                              {"size", sizeOf(pages[i].width, pages[i].height)}});
        meta["pages"] = listed;
    }
    Json root;
    root["frames"] = frames;
    root["meta"] = meta;
    return root;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    int arg = 1;
    for (; arg < argc && std::strncmp(argv[arg], "--", 2) == 0; ++arg) {
        const std::string option = argv[arg];
        long value = 0;
        if (option == "--no-trim") {
            options.trim = false;
            continue;
        }
        if (option != "--max-size" && option != "--padding" && option != "--extrude" && option != "--duration") {
            std::cerr << kTool << ": there is no option " << option << "\n";
            return usage();
        }
        if (arg + 1 >= argc) {
            std::cerr << kTool << ": " << option << " needs a value\n";
            return usage();
        }
        const char* text = argv[++arg];
        const char* wanted = nullptr;
        if (option == "--max-size") {
            if (readNumber(text, 16, 16384, value) && (value & (value - 1)) == 0)
                options.maxSize = int(value);
            else
                wanted = "a power of two from 16 to 16384";
        } else if (option == "--padding" || option == "--extrude") {
            if (readNumber(text, 0, 64, value))
                (option == "--padding" ? options.padding : options.extrude) = int(value);
            else
                wanted = "a whole number from 0 to 64";
        } else {
            if (readNumber(text, 0, 0x7FFFFFFF, value))
                options.duration = value;
            else
                wanted = "a whole number of milliseconds";
        }
        if (wanted != nullptr) {
            std::cerr << kTool << ": " << option << " takes " << wanted << ", not '" << text << "'\n";
            return usage();
        }
    }
    if (argc - arg < 2)
        return usage();
    const std::string base = argv[arg++];

    std::vector<std::string> files;
    for (; arg < argc; ++arg)
        if (!expand(argv[arg], files))
            return 1;
    std::vector<Image> images(files.size());
    std::map<std::string, std::string> pathOfName;
    for (std::size_t i = 0; i < files.size(); ++i) {
        Image& image = images[i];
        image.path = files[i];
        image.name = fs::path(files[i]).stem().string();
        const auto named = pathOfName.emplace(image.name, image.path);
        if (!named.second) {
            std::cerr << kTool << ": " << named.first->second << " and " << image.path << " both make the frame "
                      << image.name << "\n";
            return 1;
        }
        if (!load(image))
            return 1;
        trim(image, options.trim);
    }

    std::vector<Page> pages;
    if (!pack(images, options, pages))
        return 1;
    // Every page and the descriptor are written in full before any replaces its earlier file, so a
    // run that fails (a full disk) leaves an earlier atlas whole.
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < pages.size(); ++i)
        paths.push_back(base + "-" + std::to_string(i) + ".png");
    paths.push_back(base + ".json");
    std::vector<std::unique_ptr<CFileReplacement>> outputs;
    for (const std::string& path : paths)
        outputs.emplace_back(new CFileReplacement(path));
    const auto failed = [&](std::size_t i, const std::string& error) {
        std::cerr << kTool << ": "
                  << (error.empty() ? "cannot write " + paths[i] + ": " + outputs[i]->getError() : error) << "\n";
        return 1;
    };
    for (std::size_t i = 0; i < pages.size(); ++i) {
        png::Image page(pages[i].width, pages[i].height);
        paint(images, options, i, page);
        std::string error;
        if (outputs[i]->file() == nullptr || !png::write(outputs[i]->file(), paths[i], page, error))
            return failed(i, error);
    }
    const std::string text = describe(images, pages, fs::path(base).filename().string(), options).dump(2) + "\n";
    if (outputs.back()->file() != nullptr)
        std::fwrite(text.data(), 1, text.size(), outputs.back()->file());
    for (std::size_t i = 0; i < outputs.size(); ++i)
        if (!outputs[i]->finish())
            return failed(i, "");
    for (std::size_t i = 0; i < outputs.size(); ++i)
        if (!outputs[i]->commit())
            return failed(i, "");
    return 0;
}
