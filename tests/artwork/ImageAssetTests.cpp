// The committed editor images against what the editor's drawing code assumes about them:
// sizes, pixel formats, cell order, transparent areas and where they meet the background.

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace
{
juce::File imageFile (const char* name)
{
    return juce::File (OLVAR_IMAGE_FOLDER).getChildFile (name);
}

juce::Image load (const char* name)
{
    return juce::ImageFileFormat::loadFrom (imageFile (name));
}

float luminance (juce::Colour c)
{
    return 0.2126f * c.getFloatRed() + 0.7152f * c.getFloatGreen() + 0.0722f * c.getFloatBlue();
}

// Mean colour of the opaque-enough pixels of an area, weighted by alpha.
juce::Colour meanColour (const juce::Image& image, juce::Rectangle<int> area)
{
    double r = 0, g = 0, b = 0, weight = 0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
        {
            const auto c = image.getPixelAt (x, y);
            const auto a = c.getFloatAlpha();
            r += c.getFloatRed() * a;
            g += c.getFloatGreen() * a;
            b += c.getFloatBlue() * a;
            weight += a;
        }

    if (weight <= 0)
        return juce::Colours::transparentBlack;

    return juce::Colour::fromFloatRGBA ((float) (r / weight), (float) (g / weight), (float) (b / weight), 1.0f);
}

int countPixels (const juce::Image& image, const std::function<bool (int, int, juce::Colour)>& test)
{
    int count = 0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            count += test (x, y, image.getPixelAt (x, y)) ? 1 : 0;
    return count;
}

//==============================================================================
struct FileCase
{
    const char* name;
    int width, height;
    bool alpha;
};

// In the order of the embedded arrays temp1 to temp16.
const FileCase files[] = {
    { "background.png", 350, 600, false },
    { "readout-decimal-point.png", 8, 22, true },
    { "power-key.png", 44, 88, true },
    { "meter-high-segment-1.png", 79, 60, true },
    { "meter-high-segment-2.png", 79, 60, true },
    { "meter-high-segment-3.png", 79, 60, true },
    { "meter-high-segment-4.png", 79, 60, true },
    { "meter-low-segment-1.png", 79, 60, true },
    { "meter-low-segment-2.png", 79, 60, true },
    { "meter-low-segment-3.png", 79, 60, true },
    { "meter-low-segment-4.png", 79, 60, true },
    { "logo.png", 136, 51, true },
    { "readout-digits.png", 16, 242, true },
    { "over-lamp.png", 18, 14, true },
    { "fader-cap-vertical.png", 84, 74, true },
    { "fader-cap-horizontal.png", 68, 36, true },
};

TEST (ImageAssets, EveryFileHasItsSizeAndAnEightBitNonInterlacedFormat)
{
    for (const auto& file : files)
    {
        SCOPED_TRACE (file.name);
        juce::MemoryBlock data;
        ASSERT_TRUE (imageFile (file.name).loadFileAsData (data));
        ASSERT_GT (data.getSize(), 33u);

        // The header chunk: width, height, bit depth, colour type, ..., interlace method.
        const auto* bytes = static_cast<const juce::uint8*> (data.getData());
        const auto readBig = [bytes] (int at) { return (int) juce::ByteOrder::bigEndianInt (bytes + at); };
        EXPECT_EQ (readBig (16), file.width);
        EXPECT_EQ (readBig (20), file.height);
        EXPECT_EQ (bytes[24], 8);                     // bits per channel
        EXPECT_EQ (bytes[25], file.alpha ? 6 : 2);    // RGBA or RGB
        EXPECT_EQ (bytes[28], 0);                     // not interlaced

        const auto image = load (file.name);
        EXPECT_EQ (image.getWidth(), file.width);
        EXPECT_EQ (image.getHeight(), file.height);
    }
}

//==============================================================================
struct SegmentCase
{
    const char* name;
    int firstColumn, lastColumn;
};

// Lowest to highest within each band.
const SegmentCase lowBand[] = { { "meter-low-segment-1.png", 0, 38 }, { "meter-low-segment-2.png", 0, 38 },
                                { "meter-low-segment-3.png", 0, 38 }, { "meter-low-segment-4.png", 0, 38 } };
const SegmentCase highBand[] = { { "meter-high-segment-1.png", 40, 78 }, { "meter-high-segment-2.png", 40, 78 },
                                 { "meter-high-segment-3.png", 40, 78 }, { "meter-high-segment-4.png", 40, 78 } };

double meanRow (const juce::Image& image)
{
    double rows = 0, weight = 0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
        {
            const auto a = image.getPixelAt (x, y).getFloatAlpha();
            rows += a * (double) y;
            weight += a;
        }
    return rows / weight;
}

TEST (ImageAssets, MeterSegmentsStayInTheirHalfAndFillEachBandFromTheBottomUp)
{
    for (const auto* band : { lowBand, highBand })
    {
        double previousRow = 1.0e9;

        for (int i = 0; i < 4; ++i)
        {
            const auto& segment = band[i];
            SCOPED_TRACE (segment.name);
            const auto image = load (segment.name);

            EXPECT_EQ (countPixels (image, [&] (int x, int, juce::Colour c) {
                           return c.getAlpha() > 0 && (x < segment.firstColumn || x > segment.lastColumn);
                       }),
                       0);

            // A dark band that hides the light face: plenty of nearly opaque, dark pixels.
            EXPECT_GT (countPixels (image, [] (int, int, juce::Colour c) { return c.getAlpha() >= 200 && luminance (c) < 0.3f; }), 150);

            const auto row = meanRow (image);
            EXPECT_LT (row, previousRow) << "segment " << i + 1 << " is not above the one before";
            previousRow = row;
        }
    }
}

TEST (ImageAssets, MeterSegmentsDoNotOverlapOneAnother)
{
    std::vector<juce::Image> segments;
    for (const auto* band : { lowBand, highBand })
        for (int i = 0; i < 4; ++i)
            segments.push_back (load (band[i].name));

    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 79; ++x)
        {
            int covering = 0;
            for (const auto& segment : segments)
                covering += segment.getPixelAt (x, y).getAlpha() > 24 ? 1 : 0;
            ASSERT_LE (covering, 1) << "at " << x << ", " << y;
        }
}

//==============================================================================
TEST (ImageAssets, ReadoutCellsAreTheDigitsInOrderThenTheMinusSign)
{
    const auto strip = load ("readout-digits.png");
    const int cellHeight = strip.getHeight() / 11;
    ASSERT_EQ (cellHeight, 22);

    // Lit pixels per cell: '1' and '7' have the fewest segments of the digits, '8' the most,
    // and the minus sign is a single bar in the middle rows.
    std::vector<int> lit;
    for (int cell = 0; cell < 11; ++cell)
    {
        const auto area = juce::Rectangle<int> (0, cell * cellHeight, strip.getWidth(), cellHeight);
        lit.push_back (countPixels (strip.getClippedImage (area), [] (int, int, juce::Colour c) { return c.getAlpha() >= 128; }));
    }

    for (int cell = 0; cell < 10; ++cell)
    {
        SCOPED_TRACE (cell);
        EXPECT_GT (lit[(size_t) cell], lit[10]);
        EXPECT_LE (lit[(size_t) cell], lit[8]);
        EXPECT_GE (lit[(size_t) cell], lit[1]);
    }

    const auto minus = strip.getClippedImage ({ 0, 10 * cellHeight, strip.getWidth(), cellHeight });
    EXPECT_EQ (countPixels (minus, [] (int, int y, juce::Colour c) { return c.getAlpha() >= 128 && (y < 8 || y > 14); }), 0);
    EXPECT_GT (lit[10], 0);
}

TEST (ImageAssets, PowerKeyShowsOffAboveAndLitBelow)
{
    const auto key = load ("power-key.png");
    const auto off = meanColour (key, { 0, 0, 44, 44 });
    const auto on = meanColour (key, { 0, 44, 44, 44 });

    EXPECT_GT (luminance (on), luminance (off));
    EXPECT_GT (on.getFloatRed() - on.getFloatBlue(), 0.4f);                   // warm and glowing
    EXPECT_LT (std::abs (off.getFloatRed() - off.getFloatBlue()), 0.08f);     // grey
}

//==============================================================================
TEST (ImageAssets, PiecesDrawnOverThePanelHaveTransparentCorners)
{
    for (const auto* name : { "over-lamp.png", "logo.png", "fader-cap-vertical.png", "readout-digits.png", "readout-decimal-point.png" })
    {
        SCOPED_TRACE (name);
        const auto image = load (name);
        const auto w = image.getWidth() - 1, h = image.getHeight() - 1;
        for (auto corner : { juce::Point<int> (0, 0), juce::Point<int> (w, 0), juce::Point<int> (0, h), juce::Point<int> (w, h) })
            EXPECT_LE (image.getPixelAt (corner.x, corner.y).getAlpha(), 8) << corner.toString();
    }
}

// The caps' index lines sit where the panel's marks are: across row 37 of the vertical cap
// and down column 34 of the horizontal one.
TEST (ImageAssets, FaderCapIndexLinesCrossTheirMiddles)
{
    struct Line
    {
        const char* name;
        bool horizontal;
        int at;
    };

    for (const auto& line : { Line { "fader-cap-vertical.png", true, 37 }, Line { "fader-cap-horizontal.png", false, 34 } })
    {
        SCOPED_TRACE (line.name);
        const auto cap = load (line.name);
        const auto length = line.horizontal ? cap.getWidth() : cap.getHeight();
        int white = 0, covered = 0;

        for (int i = 0; i < length; ++i)
            for (auto offset : { -1, 0 })
            {
                const auto c = line.horizontal ? cap.getPixelAt (i, line.at + offset) : cap.getPixelAt (line.at + offset, i);
                covered += c.getAlpha() == 255 ? 1 : 0;
                white += c.getAlpha() == 255 && luminance (c) > 0.9f ? 1 : 0;
            }

        EXPECT_GT (covered, 0);
        EXPECT_GE (white, covered * 9 / 10);
    }
}

//==============================================================================
// Areas of the background that the pieces drawn over it expect to be dark or light.
TEST (ImageAssets, BackgroundLinesUpWithThePiecesDrawnOverIt)
{
    const auto background = load ("background.png");
    ASSERT_FALSE (background.hasAlphaChannel());

    struct Area
    {
        const char* what;
        juce::Rectangle<int> area;
        float minLuminance, maxLuminance;
    };

    const Area areas[] = {
        { "readout window", { 100, 22, 64, 22 }, 0.0f, 0.08f },
        { "left lamp window", { 58, 82, 14, 10 }, 0.0f, 0.15f },
        { "right lamp window", { 278, 82, 14, 10 }, 0.0f, 0.15f },
        { "meter face", { 135, 402, 79, 40 }, 0.55f, 1.0f },
        { "vertical slot", { 172, 130, 4, 190 }, 0.0f, 0.05f },
        { "horizontal slot", { 70, 537, 210, 2 }, 0.0f, 0.05f },
        { "logo ground", { 200, 12, 136, 51 }, 0.0f, 0.12f },
    };

    for (const auto& a : areas)
    {
        SCOPED_TRACE (a.what);
        const auto l = luminance (meanColour (background, a.area));
        EXPECT_GE (l, a.minLuminance);
        EXPECT_LE (l, a.maxLuminance);
    }
}
} // namespace
