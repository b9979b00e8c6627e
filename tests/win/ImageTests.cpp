// The WIC image helper: format detection on load, pixel access, encoding in a given
// format and in the format an image was read in.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "TestSupport.h"
#include "support/win/Image.h"

using folium::Image;
using folium::ImageFormat;

namespace {

struct ImageHelper : ::testing::Test {
    testsupport::ComApartment com;

    // Opaque test pattern: blocks of `block` pixels in a handful of distinct colours.
    static std::vector<uint32_t> Pattern(UINT w, UINT h, UINT block = 1) {
        const uint32_t colours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000, 0xFF808040};
        std::vector<uint32_t> p(static_cast<size_t>(w) * h);
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x) p[y * w + x] = colours[(x / block + 2 * (y / block)) % 6];
        return p;
    }
    static int MaxChannelDifference(uint32_t a, uint32_t b) {
        int d = 0;
        for (int s = 0; s < 32; s += 8) d = std::max(d, std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)));
        return d;
    }
};

TEST_F(ImageHelper, EveryFormatIsDetectedWhenReadBack) {
    const struct {
        ImageFormat format;
        int tolerance;  // JPEG is lossy; GIF goes through a palette made from the image
    } cases[] = {{ImageFormat::Png, 0}, {ImageFormat::Bmp, 0}, {ImageFormat::Gif, 8}, {ImageFormat::Tiff, 0},
                 {ImageFormat::Jpeg, 40}};
    // Blocks as large as a JPEG coding unit, so that only the codec's rounding differs.
    Image source = Image::FromPixels(48, 32, Pattern(48, 32, 16));
    ASSERT_TRUE(source.Valid());
    EXPECT_EQ(source.Format(), ImageFormat::Unknown);
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.format));
        std::vector<BYTE> bytes;
        ASSERT_TRUE(source.Encode(c.format, bytes));
        Image back = Image::Load(bytes.data(), bytes.size());
        ASSERT_TRUE(back.Valid());
        EXPECT_EQ(back.Format(), c.format);
        EXPECT_EQ(back.Width(), 48u);
        EXPECT_EQ(back.Height(), 32u);
        int worst = 0;
        for (UINT y = 0; y < 32; ++y)
            for (UINT x = 0; x < 48; ++x) worst = std::max(worst, MaxChannelDifference(back.Pixel(x, y), source.Pixel(x, y)));
        EXPECT_LE(worst, c.tolerance);
    }
}

TEST_F(ImageHelper, PngKeepsAlphaAndSavingInOwnFormatKeepsTheFormat) {
    std::vector<uint32_t> p = {0x00FFFFFF, 0x80102030, 0xFF00FF00, 0xFFFFFFFF};
    std::vector<BYTE> png;
    ASSERT_TRUE(Image::FromPixels(2, 2, p).Encode(ImageFormat::Png, png));
    Image loaded = Image::Load(png.data(), png.size());
    ASSERT_TRUE(loaded.Valid());
    EXPECT_EQ(loaded.Pixels(), p);

    // A GIF read and written again in its own format is still a GIF with the same pixels.
    std::vector<BYTE> gif;
    ASSERT_TRUE(Image::FromPixels(16, 8, Pattern(16, 8)).Encode(ImageFormat::Gif, gif));
    Image fromGif = Image::Load(gif.data(), gif.size());
    std::vector<BYTE> again;
    ASSERT_TRUE(fromGif.Encode(ImageFormat::Unknown, again));
    Image back = Image::Load(again.data(), again.size());
    EXPECT_EQ(back.Format(), ImageFormat::Gif);
    EXPECT_EQ(back.Pixels(), fromGif.Pixels());

    // Changed pixels are what is written.
    fromGif.SetPixel(3, 1, 0xFF123456);
    ASSERT_TRUE(fromGif.Encode(ImageFormat::Png, again));
    EXPECT_EQ(Image::Load(again.data(), again.size()).Pixel(3, 1), 0xFF123456u);
}

TEST_F(ImageHelper, WhatIsNotAnImageIsInvalid) {
    std::vector<BYTE> png;
    ASSERT_TRUE(Image::FromPixels(4, 4, Pattern(4, 4)).Encode(ImageFormat::Png, png));
    const std::string text = "not an image at all";
    EXPECT_FALSE(Image::Load(text.data(), text.size()).Valid());
    EXPECT_FALSE(Image::Load(nullptr, 0).Valid());
    EXPECT_FALSE(Image::Load(png.data(), 20).Valid()) << "a PNG cut after its signature";
    EXPECT_FALSE(Image::FromPixels(2, 2, {1, 2, 3}).Valid());
    EXPECT_FALSE(Image::LoadFile(L"C:\\no\\such\\image.png").Valid());
    std::vector<BYTE> none;
    EXPECT_FALSE(Image().Encode(ImageFormat::Png, none));
    EXPECT_FALSE(Image::FromPixels(2, 2, {1, 2, 3, 4}).Encode(ImageFormat::Unknown, none))
        << "an image made from pixels has no format of its own";
}

TEST_F(ImageHelper, SaveWritesTheFileLoadFileReadsIt) {
    wchar_t dir[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"img", 0, path);
    ASSERT_TRUE(Image::FromPixels(5, 3, Pattern(5, 3)).Save(path, ImageFormat::Bmp));
    Image back = Image::LoadFile(path);
    DeleteFileW(path);
    EXPECT_EQ(back.Format(), ImageFormat::Bmp);
    EXPECT_EQ(back.Pixels(), Pattern(5, 3));
}

}  // namespace
