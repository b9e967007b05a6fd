#include "Artwork.h"

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <vector>

namespace olvar::art
{
//==============================================================================
int layout::verticalCapTop (double value)
{
    // JUCE's thumb radius, maximum position and cap half height for the 84 x 280 slider.
    const float r = 12.0f, maxSliderPos = 268.0f, half = 37.0f;
    const auto sliderPos = 12.0f + (float) (1.0 - value) * 256.0f;
    return (int) (((maxSliderPos - half - r) / (r + maxSliderPos)) * sliderPos - r);
}

int layout::horizontalCapLeft (double value)
{
    const float r = 12.0f, width = 287.0f;
    const auto sliderPos = 12.0f + (float) value * 263.0f;
    const auto t = (sliderPos - r) / (width - (r + r));
    return (int) (t * (float) (287 - horizontalCapWidth));
}

//==============================================================================
juce::Image makeImage (int width, int height)
{
    // The software renderer everywhere, so the pixels do not depend on the machine.
    return juce::Image (juce::Image::ARGB, width, height, true, juce::SoftwareImageType());
}

float hashNoise (int x, int y, juce::uint32 seed)
{
    auto h = (juce::uint32) x * 374761393u + (juce::uint32) y * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (float) (h & 0xffffffu) / (float) 0xffffffu * 2.0f - 1.0f;
}

void addBrushedTexture (juce::Image& image, juce::Rectangle<int> area, float streakAmount, float grainAmount, juce::uint32 seed)
{
    area = area.getIntersection (image.getBounds());

    if (area.isEmpty())
        return;

    constexpr int reach = 14; // half length of a streak, in pixels
    const auto width = area.getWidth();
    std::vector<float> raw ((size_t) (width + 2 * reach + 1)), streak ((size_t) width);

    juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readWrite);

    for (int y = area.getY(); y < area.getBottom(); ++y)
    {
        for (size_t i = 0; i < raw.size(); ++i)
            raw[i] = hashNoise (area.getX() + (int) i - reach, y, seed);

        // A running mean along the row turns white noise into long soft streaks.
        float sum = 0.0f;
        for (int i = 0; i <= 2 * reach; ++i)
            sum += raw[(size_t) i];

        const auto rowTone = 0.6f * hashNoise (7, y, seed + 1u);

        for (int x = 0; x < width; ++x)
        {
            streak[(size_t) x] = sum / std::sqrt ((float) (2 * reach + 1)) * 0.8f + rowTone;
            sum += raw[(size_t) (x + 2 * reach + 1)] - raw[(size_t) x];
        }

        for (int x = 0; x < width; ++x)
        {
            const auto px = area.getX() + x;
            const auto factor = 1.0f + streakAmount * streak[(size_t) x] + grainAmount * hashNoise (px, y, seed + 2u);
            const auto colour = pixels.getPixelColour (px, y);
            pixels.setPixelColour (px, y, juce::Colour::fromFloatRGBA (juce::jlimit (0.0f, 1.0f, colour.getFloatRed() * factor),
                                                                       juce::jlimit (0.0f, 1.0f, colour.getFloatGreen() * factor),
                                                                       juce::jlimit (0.0f, 1.0f, colour.getFloatBlue() * factor),
                                                                       colour.getFloatAlpha()));
        }
    }
}

void drawInnerShadow (juce::Graphics& g, const juce::Path& shape, juce::Colour colour, int radius, juce::Point<int> offset)
{
    juce::Graphics::ScopedSaveState state (g);
    g.reduceClipRegion (shape);

    juce::Path outside;
    outside.addRectangle (shape.getBounds().expanded ((float) (radius * 3 + std::abs (offset.x) + std::abs (offset.y))));
    outside.addPath (shape);
    outside.setUsingNonZeroWinding (false);

    juce::DropShadow (colour, radius, offset).drawForPath (g, outside);
}

void drawLowerRim (juce::Graphics& g, juce::Rectangle<float> area, float corner, juce::Colour colour)
{
    g.setGradientFill (juce::ColourGradient (colour.withAlpha (0.0f), 0.0f, area.getY(),
                                             colour, 0.0f, area.getBottom(), false));
    g.drawRoundedRectangle (area.reduced (0.5f), corner, 1.0f);
}

void drawBevel (juce::Graphics& g, const juce::Path& shape, juce::Colour light, juce::Colour shade, juce::Point<float> offset)
{
    // Masks rather than path arithmetic, so overlapping parts of the shape do not cancel out.
    const auto area = shape.getBounds().expanded (std::abs (offset.x) + 2.0f, std::abs (offset.y) + 2.0f).getSmallestIntegerContainer();

    auto coverage = [&] (juce::Point<float> shift) {
        juce::Image mask (juce::Image::SingleChannel, area.getWidth(), area.getHeight(), true, juce::SoftwareImageType());
        juce::Graphics mg (mask);
        mg.setColour (juce::Colours::white);
        mg.fillPath (shape, juce::AffineTransform::translation (shift - area.getPosition().toFloat()));
        return mask;
    };

    const auto base = coverage ({});

    // Where the shape does not cover itself moved along the light lies its lit edge, and the other way round.
    for (const auto& [shift, colour] : { std::pair { offset, light }, std::pair { -offset, shade } })
    {
        if (colour.isTransparent())
            continue;

        auto edge = coverage (shift);
        const juce::Image::BitmapData in (base, juce::Image::BitmapData::readOnly);
        juce::Image::BitmapData out (edge, juce::Image::BitmapData::readWrite);

        for (int y = 0; y < area.getHeight(); ++y)
            for (int x = 0; x < area.getWidth(); ++x)
            {
                const auto covered = (int) *in.getPixelPointer (x, y);
                auto* moved = out.getPixelPointer (x, y);
                *moved = (juce::uint8) juce::jmax (0, covered - (int) *moved);
            }

        g.setColour (colour);
        g.drawImageAt (edge, area.getX(), area.getY(), true);
    }
}

void drawScrew (juce::Graphics& g, juce::Point<float> centre, float radius, float slotAngle)
{
    const auto head = juce::Rectangle<float> (radius * 2.0f, radius * 2.0f).withCentre (centre);

    // Countersink and the shadow of the head.
    g.setColour (juce::Colour (0xff0a0b0c));
    g.fillEllipse (head.expanded (1.2f));
    g.setGradientFill (juce::ColourGradient (juce::Colour (0x30ffffff), 0.0f, head.getBottom() + 1.0f,
                                             juce::Colour (0x00ffffff), 0.0f, centre.y, false));
    g.drawEllipse (head.expanded (1.0f), 0.8f);

    juce::ColourGradient metal (juce::Colour (0xffb4babf), head.getX(), head.getY(),
                                juce::Colour (0xff3a3f44), head.getRight(), head.getBottom(), false);
    metal.addColour (0.45, juce::Colour (0xff7d848a));
    g.setGradientFill (metal);
    g.fillEllipse (head);

    // Cross recess: a dark cut with its lower lip catching the light.
    juce::Path cross;
    const auto slotLength = radius * 1.35f, slotWidth = juce::jmax (1.0f, radius * 0.3f);
    cross.addRectangle (-slotLength * 0.5f, -slotWidth * 0.5f, slotLength, slotWidth);
    cross.addRectangle (-slotWidth * 0.5f, -slotLength * 0.5f, slotWidth, slotLength);
    const auto place = juce::AffineTransform::rotation (slotAngle).translated (centre);

    g.setColour (juce::Colour (0x55ffffff));
    g.fillPath (cross, place.translated (0.35f, 0.5f));
    g.setColour (juce::Colour (0xff15171a));
    g.fillPath (cross, place);

    g.setColour (juce::Colour (0x40ffffff));
    g.fillEllipse (juce::Rectangle<float> (radius * 0.8f, radius * 0.55f).withCentre (centre.translated (-radius * 0.35f, -radius * 0.45f)));
}

juce::Path textOutline (const juce::Font& font, const juce::String& text, juce::Point<float> centre)
{
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (font, text, 0.0f, 0.0f);
    juce::Path path;
    glyphs.createPath (path);

    // Centre on the cap height rather than the ink, so words with and without round letters sit alike.
    const auto bounds = path.getBounds();
    const auto capTop = -font.getAscent() * 0.72f;
    path.applyTransform (juce::AffineTransform::translation (centre.x - bounds.getCentreX(),
                                                             centre.y - capTop * 0.5f));
    return path;
}

namespace
{
juce::Typeface::Ptr loadTypeface (const char* fileName)
{
    // Loaded from the file rather than by family name, so the lettering is the same on every machine.
    const juce::File file (juce::String ("/usr/share/fonts/truetype/dejavu/") + fileName);
    juce::MemoryBlock data;

    if (! file.loadFileAsData (data) || data.isEmpty())
    {
        std::cerr << "olvar-artwork: cannot read " << file.getFullPathName() << " (install fonts-dejavu-core)\n";
        std::exit (1);
    }

    auto typeface = juce::Typeface::createSystemTypefaceFor (data.getData(), data.getSize());

    if (typeface == nullptr)
    {
        std::cerr << "olvar-artwork: cannot load the font " << file.getFullPathName() << "\n";
        std::exit (1);
    }

    return typeface;
}
} // namespace

juce::Font boldFont (float height)
{
    static const auto typeface = loadTypeface ("DejaVuSans-Bold.ttf");
    return juce::Font (typeface).withHeight (height);
}

//==============================================================================
namespace
{
constexpr float meterCentreX = 39.5f, meterCentreY = 30.0f;
constexpr float meterRadiusX = 38.5f, meterRadiusY = 29.5f;
constexpr float meterGap = 1.3f;      // unpainted gap between neighbouring segments, pixels
constexpr float meterPivot = 3.5f;    // light pivot where the segments meet, pixels
constexpr float meterSwirl = 16.0f;   // how far a gap turns between pivot and rim, degrees

// Elevation 0 points straight down, 90 sideways (left for the low band), 180 straight up.
juce::Point<float> meterPoint (int side, float elevationDegrees, float radius)
{
    const auto e = juce::degreesToRadians (elevationDegrees);
    const auto dx = meterRadiusX * radius * std::sin (e);
    return { meterCentreX + (side == 0 ? -dx : dx), meterCentreY + meterRadiusY * radius * std::cos (e) };
}

// A gap between segments as a polyline from the pivot outwards, turned a little as it
// leaves the centre so the segments read as curved blades.
std::vector<juce::Point<float>> gapLine (int side, float elevation, float sideOffset)
{
    constexpr int steps = 48;
    constexpr float reach = 1.3f;
    std::vector<juce::Point<float>> centre;

    for (int i = 0; i <= steps; ++i)
    {
        const auto r = reach * (float) i / (float) steps;
        const auto turn = meterSwirl * (r * r - 1.0f);
        centre.push_back (meterPoint (side, elevation + turn, r));
    }

    // Offset to one side by half the gap, measured in pixels along the normal.
    std::vector<juce::Point<float>> result;
    for (size_t i = 0; i < centre.size(); ++i)
    {
        const auto before = centre[i == 0 ? 0 : i - 1], after = centre[juce::jmin (i + 1, centre.size() - 1)];
        auto tangent = after - before;
        const auto length = std::hypot (tangent.x, tangent.y);
        tangent = tangent / juce::jmax (length, 1.0e-4f);
        // The normal that points towards higher elevations on this side.
        auto normal = juce::Point<float> (-tangent.y, tangent.x);
        if (side == 1)
            normal = -normal;
        result.push_back (centre[i] + normal * sideOffset);
    }

    return result;
}
} // namespace

juce::Point<float> shapes::meterBadgeCentre() { return { meterCentreX, 60.0f }; }
float shapes::meterBadgeRadius() { return 10.5f; }

void shapes::fillMeterSegment (juce::Graphics& g, int side, int segment, juce::Point<float> origin)
{
    const auto lowEdge = (float) (45 * segment), highEdge = (float) (45 * (segment + 1));

    // The outermost edges lie on the centre line, which the column clip below cuts cleanly.
    const auto lower = segment == 0 ? std::vector<juce::Point<float>> { meterPoint (side, -30.0f, 0.0f), meterPoint (side, -30.0f, 1.4f) }
                                    : gapLine (side, lowEdge, meterGap * 0.5f);
    const auto upper = segment == 3 ? std::vector<juce::Point<float>> { meterPoint (side, 210.0f, 0.0f), meterPoint (side, 210.0f, 1.4f) }
                                    : gapLine (side, highEdge, -meterGap * 0.5f);

    juce::Path wedge;
    wedge.startNewSubPath (lower.front());
    for (auto& p : lower)
        wedge.lineTo (p);
    wedge.lineTo (meterPoint (side, (lowEdge + highEdge) * 0.5f, 2.2f));
    for (auto it = upper.rbegin(); it != upper.rend(); ++it)
        wedge.lineTo (*it);
    wedge.closeSubPath();

    // JUCE has no path subtraction, so the dial's outline, the pivot, the centre column and
    // the maker's half-disc are applied as clips.
    const auto place = juce::AffineTransform::translation (origin);
    juce::Graphics::ScopedSaveState state (g);

    juce::Path dial;
    dial.addEllipse (meterCentreX - meterRadiusX, meterCentreY - meterRadiusY, meterRadiusX * 2.0f, meterRadiusY * 2.0f);
    dial.addEllipse (meterCentreX - meterPivot, meterCentreY - meterPivot, meterPivot * 2.0f, meterPivot * 2.0f);
    dial.setUsingNonZeroWinding (false);
    g.reduceClipRegion (dial, place);

    g.reduceClipRegion (juce::Rectangle<float> (side == 0 ? 0.0f : 40.0f, 0.0f, 39.0f, 60.0f).transformedBy (place).getSmallestIntegerContainer());

    juce::Path clearOfBadge;
    clearOfBadge.addRectangle (-20.0f, -20.0f, 120.0f, 100.0f);
    const auto badge = meterBadgeCentre();
    const auto clearance = meterBadgeRadius() + meterGap;
    clearOfBadge.addEllipse (badge.x - clearance, badge.y - clearance, clearance * 2.0f, clearance * 2.0f);
    clearOfBadge.setUsingNonZeroWinding (false);
    g.reduceClipRegion (clearOfBadge, place);

    g.fillPath (wedge, place);
}

juce::Path shapes::sevenSegments (int segmentMask)
{
    // Segment centre lines in the 16 x 22 cell, before the slant.
    constexpr float left = 4.0f, right = 12.0f, top = 3.0f, middle = 11.0f, bottom = 19.0f;
    constexpr float half = 1.2f, gap = 0.45f, slant = 0.09f;

    juce::Path glyph;

    auto horizontal = [&] (float y) {
        const auto x0 = left + gap, x1 = right - gap;
        juce::Path bar;
        bar.startNewSubPath (x0, y);
        bar.lineTo (x0 + half, y - half);
        bar.lineTo (x1 - half, y - half);
        bar.lineTo (x1, y);
        bar.lineTo (x1 - half, y + half);
        bar.lineTo (x0 + half, y + half);
        bar.closeSubPath();
        glyph.addPath (bar);
    };

    auto vertical = [&] (float x, float y0, float y1) {
        y0 += gap;
        y1 -= gap;
        juce::Path bar;
        bar.startNewSubPath (x, y0);
        bar.lineTo (x + half, y0 + half);
        bar.lineTo (x + half, y1 - half);
        bar.lineTo (x, y1);
        bar.lineTo (x - half, y1 - half);
        bar.lineTo (x - half, y0 + half);
        bar.closeSubPath();
        glyph.addPath (bar);
    };

    if (segmentMask & 0x01) horizontal (top);
    if (segmentMask & 0x02) vertical (right, top, middle);
    if (segmentMask & 0x04) vertical (right, middle, bottom);
    if (segmentMask & 0x08) horizontal (bottom);
    if (segmentMask & 0x10) vertical (left, middle, bottom);
    if (segmentMask & 0x20) vertical (left, top, middle);
    if (segmentMask & 0x40) horizontal (middle);

    // Lean the glyph forward a little, as on display modules.
    glyph.applyTransform (juce::AffineTransform (1.0f, -slant, slant * middle, 0.0f, 1.0f, 0.0f));
    return glyph;
}

int shapes::segmentMaskFor (juce::juce_wchar character)
{
    //                         0     1     2     3     4     5     6     7     8     9
    static const int masks[] = { 0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f };

    if (character >= '0' && character <= '9')
        return masks[character - '0'];

    return character == '-' ? 0x40 : 0;
}

juce::Path shapes::lightningBolt (juce::Rectangle<float> area)
{
    juce::Path bolt;
    bolt.startNewSubPath (0.62f, 0.00f);
    bolt.lineTo (0.14f, 0.57f);
    bolt.lineTo (0.45f, 0.57f);
    bolt.lineTo (0.32f, 1.00f);
    bolt.lineTo (0.88f, 0.40f);
    bolt.lineTo (0.56f, 0.40f);
    bolt.lineTo (0.80f, 0.00f);
    bolt.closeSubPath();
    bolt.applyTransform (juce::AffineTransform::scale (area.getWidth(), area.getHeight()).translated (area.getPosition()));
    return bolt;
}
} // namespace olvar::art
