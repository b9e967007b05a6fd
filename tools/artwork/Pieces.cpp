// The pieces drawn over the background: readout glyphs, lamps, meter segments, the power
// key, the fader caps and the logo.

#include "Artwork.h"

namespace olvar::art
{
namespace
{
using juce::Colour;
using juce::ColourGradient;
using juce::Path;
using juce::Rectangle;

// Lit display ink: a soft halo, then the bars with a hotter core.
void fillGlowing (juce::Graphics& g, const Path& shape, float glowAlpha)
{
    juce::DropShadow (colours::segmentLit.withAlpha (glowAlpha), 2, {}).drawForPath (g, shape);
    const auto b = shape.getBounds();
    ColourGradient ink (Colour (0xffffa345), 0.0f, b.getY(), Colour (0xffff7412), 0.0f, b.getBottom(), false);
    g.setGradientFill (ink);
    g.fillPath (shape);
    g.setColour (colours::segmentHot.withAlpha (0.35f));
    g.fillPath (shape, juce::AffineTransform::scale (0.86f, 0.9f, b.getCentreX(), b.getCentreY()));
}

juce::Image drawDigitCell (int segmentMask)
{
    auto cell = makeImage (layout::digitWidth, layout::digitHeight);
    juce::Graphics g (cell);
    fillGlowing (g, shapes::sevenSegments (segmentMask), 0.55f);
    return cell;
}

Path roundedBox (Rectangle<float> area, float corner)
{
    Path p;
    p.addRoundedRectangle (area, corner);
    return p;
}
} // namespace

//==============================================================================
juce::Image drawReadoutDigits()
{
    auto strip = makeImage (layout::digitWidth, layout::digitHeight * layout::digitCells);
    juce::Graphics g (strip);
    const juce::String order ("0123456789-");

    // Each cell is drawn on its own so no glow crosses into a neighbour.
    for (int i = 0; i < layout::digitCells; ++i)
        g.drawImageAt (drawDigitCell (shapes::segmentMaskFor (order[i])), 0, i * layout::digitHeight);

    return strip;
}

juce::Image drawDecimalPoint()
{
    auto image = makeImage (layout::pointWidth, layout::digitHeight);
    juce::Graphics g (image);
    Path dot;
    // Sits on the bottom bar's line, leaning like the digits.
    dot.addRoundedRectangle (2.0f, 17.8f, 2.4f, 2.4f, 0.6f);
    fillGlowing (g, dot, 0.55f);
    return image;
}

juce::Image drawOverLamp()
{
    auto image = makeImage (layout::lampWidth, layout::lampHeight);
    juce::Graphics g (image);
    const auto whole = image.getBounds().toFloat();
    const auto lens = whole.reduced (2.0f);

    // The glow is kept inside a pill of the full size, so the corners stay clear.
    g.reduceClipRegion (roundedBox (whole, whole.getHeight() * 0.5f));
    juce::DropShadow (Colour (0xd0ff7a10), 3, {}).drawForPath (g, roundedBox (lens, lens.getHeight() * 0.5f));

    ColourGradient light (Colour (0xffffe2a6), lens.getCentreX(), lens.getCentreY() - 0.5f,
                          Colour (0xffd44a06), lens.getRight(), lens.getBottom(), true);
    light.addColour (0.45, Colour (0xffff9a2e));
    g.setGradientFill (light);
    g.fillRoundedRectangle (lens, lens.getHeight() * 0.5f);

    g.setColour (Colour (0x80fffbe8));
    g.fillRoundedRectangle (Rectangle<float> (lens.getWidth() * 0.5f, 2.0f).withCentre ({ lens.getCentreX(), lens.getY() + 2.0f }), 1.0f);
    return image;
}

//==============================================================================
juce::Image drawMeterSegment (int side, int segment)
{
    auto image = makeImage (layout::meter.getWidth(), layout::meter.getHeight());
    juce::Graphics g (image);

    // Nearly opaque ink, a touch deeper towards the rim, like a lit liquid-crystal segment.
    ColourGradient ink (colours::meterInk.withAlpha (0.9f), 39.5f, 30.0f,
                        colours::meterInk.darker (0.35f).withAlpha (0.94f), 0.0f, 30.0f, true);
    g.setGradientFill (ink);
    shapes::fillMeterSegment (g, side, segment, {});
    return image;
}

//==============================================================================
juce::Image drawPowerKey()
{
    auto strip = makeImage (layout::keySize, layout::keySize * 2);

    for (int lit = 0; lit < 2; ++lit)
    {
        auto cell = makeImage (layout::keySize, layout::keySize);
        juce::Graphics g (cell);
        const auto key = Rectangle<float> (2.0f, 2.0f, 40.0f, 40.0f);
        const auto keyShape = roundedBox (key, 6.0f);
        const auto bolt = shapes::lightningBolt (Rectangle<float> (14.0f, 9.0f, 16.0f, 26.0f));

        if (lit == 0)
        {
            juce::DropShadow (Colour (0xd0000000), 2, { 0, 1 }).drawForPath (g, keyShape);
            ColourGradient body (Colour (0xff4a4e52), 0.0f, key.getY(), Colour (0xff222427), 0.0f, key.getBottom(), false);
            g.setGradientFill (body);
            g.fillPath (keyShape);

            // A shallow dish in the key top.
            const auto dish = key.reduced (4.0f);
            g.setGradientFill (ColourGradient (Colour (0xff2a2d30), 0.0f, dish.getY(), Colour (0xff3d4145), 0.0f, dish.getBottom(), false));
            g.fillRoundedRectangle (dish, 4.0f);

            // The bolt is engraved: dark cut, light lower lip.
            g.setColour (Colour (0x40ffffff));
            g.fillPath (bolt, juce::AffineTransform::translation (0.0f, 0.8f));
            g.setColour (Colour (0xff16181a));
            g.fillPath (bolt, juce::AffineTransform::translation (0.0f, -0.6f));
            g.setColour (Colour (0xff7e8489));
            g.fillPath (bolt);
        }
        else
        {
            juce::DropShadow (Colour (0xc0ff4a10), 3, {}).drawForPath (g, keyShape);
            ColourGradient body (Colour (0xffff8a3a), key.getCentreX(), key.getCentreY() - 2.0f,
                                 Colour (0xffa8240a), key.getRight(), key.getBottom(), true);
            body.addColour (0.55, Colour (0xffe8461a));
            g.setGradientFill (body);
            g.fillPath (keyShape);

            const auto dish = key.reduced (4.0f);
            g.setGradientFill (ColourGradient (Colour (0x30600c00), 0.0f, dish.getY(), Colour (0x00600c00), 0.0f, dish.getCentreY(), false));
            g.fillRoundedRectangle (dish, 4.0f);

            juce::DropShadow (Colour (0xffffe08a), 3, {}).drawForPath (g, bolt);
            juce::DropShadow (Colour (0xa0ffffff), 1, {}).drawForPath (g, bolt);
            g.setColour (Colour (0xfffffcf2));
            g.fillPath (bolt);
        }

        // Bevel: light along the top edge, shade along the bottom.
        g.setGradientFill (ColourGradient (Colour (lit == 0 ? 0x50ffffff : 0x70ffffff), 0.0f, key.getY(),
                                           Colour (0x00ffffff), 0.0f, key.getY() + 12.0f, false));
        g.drawRoundedRectangle (key.reduced (0.8f), 5.5f, 1.2f);
        g.setColour (Colour (lit == 0 ? 0xff0a0b0c : 0xff5a1204));
        g.drawRoundedRectangle (key.reduced (0.25f), 6.0f, 0.7f);

        // A gloss across the upper half.
        g.setGradientFill (ColourGradient (Colour (lit == 0 ? 0x18ffffff : 0x30ffffff), 0.0f, key.getY(),
                                           Colour (0x00ffffff), 0.0f, key.getCentreY(), false));
        g.fillRoundedRectangle (key.reduced (2.0f).withHeight (key.getHeight() * 0.45f), 4.5f);

        juce::Graphics stripGraphics (strip);
        stripGraphics.drawImageAt (cell, 0, lit * layout::keySize);
    }

    return strip;
}

//==============================================================================
juce::Image drawVerticalCap()
{
    auto image = makeImage (layout::verticalCapWidth, layout::verticalCapHeight);
    juce::Graphics g (image);
    const auto body = Rectangle<float> (3.0f, 2.0f, 78.0f, 68.0f);
    const auto bodyShape = roundedBox (body, 8.0f);
    const auto middle = (float) layout::verticalCapHeight * 0.5f;

    juce::DropShadow (Colour (0xd0000000), 4, { 0, 2 }).drawForPath (g, bodyShape);

    // Two faces tilted towards the middle line, as on a console fader.
    ColourGradient metal (Colour (0xffdadde0), 0.0f, body.getY(), Colour (0xffb9bdc1), 0.0f, body.getBottom(), false);
    metal.addColour ((middle - 1.0f - body.getY()) / body.getHeight(), Colour (0xff858b90));
    metal.addColour ((middle + 1.0f - body.getY()) / body.getHeight(), Colour (0xff6e7479));
    g.setGradientFill (metal);
    g.fillPath (bodyShape);

    // Grip ridges on both faces.
    for (float y = body.getY() + 7.0f; y < middle - 5.0f; y += 5.0f)
        for (auto ry : { y, body.getBottom() - (y - body.getY()) })
        {
            g.setColour (Colour (0x40000000));
            g.fillRect (Rectangle<float> (body.getX() + 6.0f, ry, body.getWidth() - 12.0f, 1.0f));
            g.setColour (Colour (0x50ffffff));
            g.fillRect (Rectangle<float> (body.getX() + 6.0f, ry + 1.0f, body.getWidth() - 12.0f, 1.0f));
        }

    // The index line, with dark edges so it reads on the light metal.
    g.setColour (Colour (0x90202326));
    g.fillRect (Rectangle<float> (body.getX(), middle - 2.0f, body.getWidth(), 4.0f));
    g.setColour (Colour (0xffffffff));
    g.fillRect (Rectangle<float> (body.getX(), middle - 1.0f, body.getWidth(), 2.0f));

    g.setColour (Colour (0x90ffffff));
    g.drawRoundedRectangle (body.reduced (1.0f), 7.0f, 1.0f);
    g.setColour (Colour (0xff1c1e21));
    g.drawRoundedRectangle (body.reduced (0.3f), 8.0f, 0.8f);
    return image;
}

juce::Image drawHorizontalCap()
{
    auto image = makeImage (layout::horizontalCapWidth, layout::horizontalCapHeight);
    juce::Graphics g (image);
    const auto body = Rectangle<float> (2.0f, 1.5f, 64.0f, 32.0f);
    const auto bodyShape = roundedBox (body, 6.0f);
    const auto middle = (float) layout::horizontalCapWidth * 0.5f;

    juce::DropShadow (Colour (0xd0000000), 3, { 0, 2 }).drawForPath (g, bodyShape);

    ColourGradient metal (Colour (0xffd6d9dc), body.getX(), 0.0f, Colour (0xffb2b7bb), body.getRight(), 0.0f, false);
    metal.addColour ((middle - 1.0f - body.getX()) / body.getWidth(), Colour (0xff858b90));
    metal.addColour ((middle + 1.0f - body.getX()) / body.getWidth(), Colour (0xff6e7479));
    g.setGradientFill (metal);
    g.fillPath (bodyShape);

    // Light from above on top of the sideways tilt.
    g.setGradientFill (ColourGradient (Colour (0x38ffffff), 0.0f, body.getY(), Colour (0x28000000), 0.0f, body.getBottom(), false));
    g.fillPath (bodyShape);

    for (float x = body.getX() + 6.0f; x < middle - 5.0f; x += 5.0f)
        for (auto rx : { x, body.getRight() - (x - body.getX()) })
        {
            g.setColour (Colour (0x40000000));
            g.fillRect (Rectangle<float> (rx, body.getY() + 5.0f, 1.0f, body.getHeight() - 10.0f));
            g.setColour (Colour (0x50ffffff));
            g.fillRect (Rectangle<float> (rx + 1.0f, body.getY() + 5.0f, 1.0f, body.getHeight() - 10.0f));
        }

    g.setColour (Colour (0x90202326));
    g.fillRect (Rectangle<float> (middle - 2.0f, body.getY(), 4.0f, body.getHeight()));
    g.setColour (Colour (0xffffffff));
    g.fillRect (Rectangle<float> (middle - 1.0f, body.getY(), 2.0f, body.getHeight()));

    g.setColour (Colour (0x90ffffff));
    g.drawRoundedRectangle (body.reduced (1.0f), 5.0f, 1.0f);
    g.setColour (Colour (0xff1c1e21));
    g.drawRoundedRectangle (body.reduced (0.3f), 6.0f, 0.8f);
    return image;
}

//==============================================================================
juce::Image drawLogo()
{
    auto image = makeImage (layout::logo.getWidth(), layout::logo.getHeight());
    juce::Graphics g (image);

    // Lettering: bold, leaning forward, fitted above the underline bar.
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (boldFont (40.0f).withExtraKerningFactor (-0.02f), "Olvar", 0.0f, 0.0f);
    Path letters;
    glyphs.createPath (letters);
    letters.applyTransform (juce::AffineTransform::shear (-0.16f, 0.0f));
    const auto letterArea = Rectangle<float> (6.0f, 3.0f, 124.0f, 33.0f);
    letters.applyTransform (letters.getTransformToScaleToFit (letterArea, true, juce::Justification::centred));

    Path bar;
    const auto barArea = Rectangle<float> (6.0f, 40.0f, 124.0f, 5.0f);
    bar.startNewSubPath (barArea.getX() + 4.0f, barArea.getY());
    bar.lineTo (barArea.getRight(), barArea.getY());
    bar.lineTo (barArea.getRight() - 4.0f, barArea.getBottom());
    bar.lineTo (barArea.getX(), barArea.getBottom());
    bar.closeSubPath();

    Path whole (letters);
    whole.addPath (bar);

    juce::DropShadow (Colour (0xe0000000), 3, { 1, 2 }).drawForPath (g, whole);

    // A dark rim under the chrome keeps the edges crisp on any ground.
    g.setColour (Colour (0xff0b0c0e));
    g.strokePath (whole, juce::PathStrokeType (2.0f, juce::PathStrokeType::curved));

    auto chrome = [] (Rectangle<float> area) {
        ColourGradient c (Colour (0xfff7f9fb), 0.0f, area.getY(), Colour (0xffe4e8eb), 0.0f, area.getBottom(), false);
        c.addColour (0.30, Colour (0xffc3c9ce));
        c.addColour (0.50, Colour (0xff6d757c));
        c.addColour (0.54, Colour (0xff3b4147));
        c.addColour (0.62, Colour (0xff8e979e));
        c.addColour (0.85, Colour (0xffd2d7db));
        return c;
    };

    g.setGradientFill (chrome (letters.getBounds()));
    g.fillPath (letters);
    g.setGradientFill (chrome (bar.getBounds()));
    g.fillPath (bar);

    drawBevel (g, whole, Colour (0x90ffffff), Colour (0x60000000), { 0.0f, 1.2f });

    // An inlay of the accent colour along the bar.
    Path inlay;
    inlay.startNewSubPath (barArea.getX() + 9.0f, barArea.getCentreY() - 0.6f);
    inlay.lineTo (barArea.getRight() - 9.0f, barArea.getCentreY() - 0.6f);
    g.setColour (colours::teal.withAlpha (0.95f));
    g.strokePath (inlay, juce::PathStrokeType (1.4f));
    g.setColour (colours::tealLight.withAlpha (0.6f));
    g.strokePath (inlay, juce::PathStrokeType (0.6f), juce::AffineTransform::translation (0.0f, -0.4f));
    return image;
}
} // namespace olvar::art
