// The editor's face: every fixed graphic, lined up with the pieces drawn over it.

#include "Artwork.h"

#include <cmath>

namespace olvar::art
{
namespace
{
using juce::Colour;
using juce::ColourGradient;
using juce::Path;
using juce::Rectangle;

constexpr int topBarHeight = 70;
constexpr int middleBandTop = 386, bottomPanelTop = 488;

Path roundedBox (Rectangle<float> area, float corner)
{
    Path p;
    p.addRoundedRectangle (area, corner);
    return p;
}

void fillVertical (juce::Graphics& g, const Path& shape, Colour top, Colour bottom)
{
    const auto b = shape.getBounds();
    g.setGradientFill (ColourGradient (top, 0.0f, b.getY(), bottom, 0.0f, b.getBottom(), false));
    g.fillPath (shape);
}

// An engraved line across the panel: a dark cut with light on its lower edge.
void drawGroove (juce::Graphics& g, int y, int x0, int x1)
{
    g.setColour (Colour (0xff0b0c0d));
    g.fillRect (x0, y, x1 - x0, 1);
    g.setColour (Colour (0x26ffffff));
    g.fillRect (x0, y + 1, x1 - x0, 1);
}

void drawPanels (juce::Image& image, juce::Graphics& g)
{
    g.setGradientFill (ColourGradient (Colour (0xff2d3134), 0.0f, (float) topBarHeight,
                                       Colour (0xff1f2224), 0.0f, (float) layout::editorHeight, false));
    g.fillAll();

    g.setGradientFill (ColourGradient (Colour (0xff191a1c), 0.0f, 0.0f, Colour (0xff101112), 0.0f, (float) topBarHeight, false));
    g.fillRect (0, 0, layout::editorWidth, topBarHeight);

    // The meter band sits a shade deeper than the panels around it.
    g.setColour (Colour (0x24000000));
    g.fillRect (0, middleBandTop, layout::editorWidth, bottomPanelTop - middleBandTop);

    // Darker towards the edges, as if lit from in front.
    ColourGradient vignette (Colour (0x00000000), (float) layout::editorWidth * 0.5f, (float) layout::editorHeight * 0.45f,
                             Colour (0x38000000), 0.0f, 0.0f, true);
    g.setGradientFill (vignette);
    g.fillAll();

    addBrushedTexture (image, { 0, 0, layout::editorWidth, topBarHeight }, 0.045f, 0.02f, 11u);
    addBrushedTexture (image, { 0, topBarHeight, layout::editorWidth, layout::editorHeight - topBarHeight }, 0.06f, 0.025f, 23u);

    // The bar's lower edge, then a thin lip where the panel begins.
    g.setColour (Colour (0xff050506));
    g.fillRect (0, topBarHeight, layout::editorWidth, 1);
    g.setColour (Colour (0x1affffff));
    g.fillRect (0, topBarHeight + 1, layout::editorWidth, 1);
    g.setGradientFill (ColourGradient (Colour (0x50000000), 0.0f, (float) topBarHeight + 2.0f,
                                       Colour (0x00000000), 0.0f, (float) topBarHeight + 9.0f, false));
    g.fillRect (0, topBarHeight + 2, layout::editorWidth, 7);

    drawGroove (g, middleBandTop, 0, layout::editorWidth);
    drawGroove (g, bottomPanelTop, 0, layout::editorWidth);

    // Outer edge of the whole face.
    g.setColour (Colour (0xff050506));
    g.drawRect (0, 0, layout::editorWidth, layout::editorHeight, 1);
    g.setColour (Colour (0x14ffffff));
    g.fillRect (1, 1, layout::editorWidth - 2, 1);
    g.fillRect (1, 1, 1, layout::editorHeight - 2);
}

//==============================================================================
void drawPowerRecess (juce::Graphics& g)
{
    const auto well = layout::powerKey.toFloat().expanded (5.5f);
    const auto shape = roundedBox (well, 8.0f);

    g.setColour (Colour (0xff060607));
    g.fillPath (shape);
    drawInnerShadow (g, shape, Colour (0xff000000), 4, { 0, 2 });
    drawLowerRim (g, well, 8.0f, Colour (0x30ffffff));
}

void drawReadoutWindow (juce::Graphics& g)
{
    const Rectangle<float> digits ((float) layout::readoutX, (float) layout::readoutY,
                                   (float) (layout::digitWidth * layout::readoutCells), (float) layout::digitHeight);
    const auto bezel = digits.expanded (9.0f, 8.0f);
    const auto glass = digits.expanded (5.0f, 4.0f);

    const auto bezelShape = roundedBox (bezel, 5.0f);
    fillVertical (g, bezelShape, Colour (0xff0a0a0b), Colour (0xff26292c));
    drawLowerRim (g, bezel, 5.0f, Colour (0x2cffffff));

    const auto glassShape = roundedBox (glass, 2.5f);
    fillVertical (g, glassShape, Colour (0xff120905), Colour (0xff080504));
    drawInnerShadow (g, glassShape, Colour (0xff000000), 3, { 0, 1 });

    // Unlit segments behind every cell, as a real display shows them.
    g.setColour (colours::segmentLit.withAlpha (0.045f));
    for (int cell = 0; cell < layout::readoutCells; ++cell)
        g.fillPath (shapes::sevenSegments (0x7f),
                    juce::AffineTransform::translation (digits.getX() + (float) (cell * layout::digitWidth), digits.getY()));

    g.setColour (colours::printing.withAlpha (0.7f));
    g.fillPath (textOutline (boldFont (8.5f).withExtraKerningFactor (0.18f), "LEVEL", { digits.getCentreX(), bezel.getBottom() + 9.0f }));

    // A faint reflection on the upper half of the glass.
    juce::Graphics::ScopedSaveState state (g);
    g.reduceClipRegion (glassShape);
    g.setGradientFill (ColourGradient (Colour (0x12ffffff), 0.0f, glass.getY(),
                                       Colour (0x00ffffff), 0.0f, glass.getCentreY(), false));
    g.fillRect (glass.withHeight (glass.getHeight() * 0.5f));
}

//==============================================================================
void drawLampWindow (juce::Graphics& g, juce::Point<int> lampPosition)
{
    const Rectangle<float> lamp ((float) lampPosition.x, (float) lampPosition.y,
                                 (float) layout::lampWidth, (float) layout::lampHeight);
    const auto lens = lamp.reduced (2.0f);
    const auto bezel = lamp.expanded (3.0f);

    g.setColour (Colour (0x60000000));
    g.fillRoundedRectangle (bezel.translated (0.0f, 1.5f).expanded (1.0f), bezel.getHeight() * 0.5f);

    ColourGradient chrome (Colour (0xffd9dee2), 0.0f, bezel.getY(), Colour (0xff2a2e31), 0.0f, bezel.getBottom(), false);
    chrome.addColour (0.5, Colour (0xff7c8389));
    g.setGradientFill (chrome);
    g.fillRoundedRectangle (bezel, bezel.getHeight() * 0.5f);

    const auto cavity = lamp.reduced (1.0f);
    g.setColour (Colour (0xff0b0504));
    g.fillRoundedRectangle (cavity, cavity.getHeight() * 0.5f);

    // The unlit lens: dark amber glass with a small reflection.
    ColourGradient glassFill (Colour (0xff4a220c), lens.getCentreX(), lens.getCentreY(),
                              Colour (0xff1a0b05), lens.getRight(), lens.getBottom(), true);
    g.setGradientFill (glassFill);
    g.fillRoundedRectangle (lens, lens.getHeight() * 0.5f);
    g.setColour (Colour (0x38ffffff));
    g.fillRoundedRectangle (Rectangle<float> (lens.getWidth() * 0.55f, 2.0f).withCentre ({ lens.getCentreX(), lens.getY() + 2.2f }), 1.0f);
}

// A tall X brace in the accent colour with the overload lamp in a plate at its top.
void drawCrossBrace (juce::Graphics& g, juce::Point<int> lampPosition)
{
    const auto centreX = (float) lampPosition.x + (float) layout::lampWidth * 0.5f;
    const float top = 99.0f, bottom = 366.0f, halfWidth = 21.0f, bar = 10.0f;

    Path one;
    one.startNewSubPath (centreX - halfWidth, top);
    one.lineTo (centreX + halfWidth, bottom);
    Path two;
    two.startNewSubPath (centreX + halfWidth, top);
    two.lineTo (centreX - halfWidth, bottom);
    juce::PathStrokeType stroke (bar, juce::PathStrokeType::mitered, juce::PathStrokeType::butt);
    Path strokedOne, strokedTwo;
    stroke.createStrokedPath (strokedOne, one);
    stroke.createStrokedPath (strokedTwo, two);
    Path arms (strokedOne);
    arms.addPath (strokedTwo);

    // Feet: plates across the ends of the arms.
    const auto topPlate = Rectangle<float> (centreX - halfWidth - 8.0f, top - 5.0f, (halfWidth + 8.0f) * 2.0f, 7.0f);
    const auto bottomPlate = topPlate.withY (bottom - 2.0f);
    Path plates;
    plates.addRoundedRectangle (topPlate, 3.0f);
    plates.addRoundedRectangle (bottomPlate, 3.0f);

    Path whole (arms);
    whole.addPath (plates);

    juce::DropShadow (Colour (0xb0000000), 5, { 1, 3 }).drawForPath (g, whole);

    // Lit from the upper left; the far ends fall into shade.
    ColourGradient tealFill (colours::tealLight.interpolatedWith (colours::teal, 0.55f), centreX - halfWidth, top,
                             colours::tealDark, centreX + halfWidth, bottom, false);
    tealFill.addColour (0.35, colours::teal);
    g.setGradientFill (tealFill);
    g.fillPath (arms);

    for (auto plate : { topPlate, bottomPlate })
    {
        g.setGradientFill (ColourGradient (colours::tealLight.interpolatedWith (colours::teal, 0.4f), 0.0f, plate.getY(),
                                           colours::tealDark, 0.0f, plate.getBottom(), false));
        g.fillRoundedRectangle (plate, 3.0f);
    }

    // Machined edges and a groove down the middle of each arm.
    drawBevel (g, arms, Colour (0x70ffffff), Colour (0x80000000), { 1.2f, 1.2f });
    drawBevel (g, plates, Colour (0x70ffffff), Colour (0x80000000), { 1.0f, 1.0f });
    for (const auto* arm : { &one, &two })
    {
        g.setColour (Colour (0x90052421));
        g.strokePath (*arm, juce::PathStrokeType (1.4f));
        g.setColour (Colour (0x30ffffff));
        g.strokePath (*arm, juce::PathStrokeType (0.8f), juce::AffineTransform::translation (1.2f, 0.0f));
    }

    // The boss where the arms cross.
    const juce::Point<float> crossing (centreX, (top + bottom) * 0.5f);
    g.setColour (Colour (0xff052421));
    g.fillEllipse (Rectangle<float> (20.0f, 20.0f).withCentre (crossing));
    ColourGradient boss (colours::tealLight, crossing.x - 8.0f, crossing.y - 8.0f, colours::tealDark, crossing.x + 8.0f, crossing.y + 8.0f, false);
    g.setGradientFill (boss);
    g.fillEllipse (Rectangle<float> (17.0f, 17.0f).withCentre (crossing));
    drawScrew (g, crossing, 5.0f, 0.6f);

    // Rivets on the feet.
    for (auto plate : { topPlate, bottomPlate })
        for (auto x : { plate.getX() + 5.0f, plate.getRight() - 5.0f })
        {
            const juce::Point<float> c (x, plate.getCentreY());
            g.setColour (Colour (0xff052421));
            g.fillEllipse (Rectangle<float> (4.4f, 4.4f).withCentre (c));
            g.setGradientFill (ColourGradient (Colour (0xffc8d2d6), c.x - 1.5f, c.y - 1.5f, Colour (0xff3d4448), c.x + 1.5f, c.y + 1.5f, false));
            g.fillEllipse (Rectangle<float> (3.2f, 3.2f).withCentre (c));
        }

    drawLampWindow (g, lampPosition);
}

//==============================================================================
void drawVerticalSlot (juce::Graphics& g)
{
    const auto slider = layout::mainSlider.toFloat();
    const auto centreX = slider.getCentreX();
    const auto firstLine = (float) (layout::mainSlider.getY() + layout::verticalCapTop (1.0) + layout::verticalCapHeight / 2);
    const auto lastLine = (float) (layout::mainSlider.getY() + layout::verticalCapTop (0.0) + layout::verticalCapHeight / 2);

    // A recessed lane, then the slot the fader runs in.
    const auto lane = Rectangle<float> (centreX - 15.0f, firstLine - 22.0f, 30.0f, lastLine - firstLine + 44.0f);
    const auto laneShape = roundedBox (lane, 6.0f);
    g.setColour (Colour (0x40000000));
    g.fillPath (laneShape);
    drawInnerShadow (g, laneShape, Colour (0x90000000), 3, { 0, 1 });
    drawLowerRim (g, lane, 6.0f, Colour (0x1effffff));

    const auto slot = Rectangle<float> (centreX - 4.0f, firstLine - 10.0f, 8.0f, lastLine - firstLine + 20.0f);
    const auto slotShape = roundedBox (slot, 4.0f);
    g.setColour (Colour (0xff020202));
    g.fillPath (slotShape);
    drawInnerShadow (g, slotShape, Colour (0xff000000), 2, { 0, 1 });
    drawLowerRim (g, slot, 4.0f, Colour (0x38ffffff));

    // Index marks at every eighth of the travel, long ones at the ends and the middle.
    for (int step = 0; step <= 8; ++step)
    {
        const auto y = layout::mainSlider.getY() + layout::verticalCapTop (1.0 - step / 8.0) + layout::verticalCapHeight / 2;
        const auto major = step % 4 == 0;
        const auto length = major ? 22 : 13;
        g.setColour (colours::printing.withAlpha (major ? 0.9f : 0.55f));
        g.fillRect (layout::mainSlider.getX() - 6 - length, y - 1, length, 2);
        g.fillRect (layout::mainSlider.getRight() + 6, y - 1, length, 2);
    }

    const auto font = boldFont (10.0f);
    const auto labelX = (float) layout::mainSlider.getX() - 35.0f;
    g.setColour (colours::printing.withAlpha (0.8f));
    const char* labels[] = { "+", "0", "\xe2\x80\x93" };
    for (int i = 0; i < 3; ++i)
    {
        const auto y = (float) (layout::mainSlider.getY() + layout::verticalCapTop (1.0 - i * 0.5) + layout::verticalCapHeight / 2);
        g.fillPath (textOutline (font, juce::String::fromUTF8 (labels[i]), { labelX, y }));
        g.fillPath (textOutline (font, juce::String::fromUTF8 (labels[i]), { (float) layout::mainSlider.getRight() + 35.0f, y }));
    }
}

//==============================================================================
void drawCaptionPlate (juce::Graphics& g, juce::Point<float> centre, const juce::String& text)
{
    const auto plate = Rectangle<float> (58.0f, 22.0f).withCentre (centre);

    g.setColour (Colour (0x90000000));
    g.fillRoundedRectangle (plate.translated (0.0f, 1.5f).expanded (0.8f), 3.0f);

    ColourGradient metal (Colour (0xffd3d7da), 0.0f, plate.getY(), Colour (0xff8c9296), 0.0f, plate.getBottom(), false);
    metal.addColour (0.5, Colour (0xffb3b8bc));
    g.setGradientFill (metal);
    g.fillRoundedRectangle (plate, 3.0f);
    g.setColour (Colour (0x80ffffff));
    g.fillRect (plate.reduced (3.0f, 0.0f).withHeight (1.0f).translated (0.0f, 0.5f));
    g.setColour (Colour (0x90202326));
    g.drawRoundedRectangle (plate, 3.0f, 0.8f);

    // Engraved lettering: a light lower edge under dark ink.
    const auto lettering = textOutline (boldFont (11.5f).withExtraKerningFactor (0.12f), text, centre);
    g.setColour (Colour (0x90ffffff));
    g.fillPath (lettering, juce::AffineTransform::translation (0.0f, 0.7f));
    g.setColour (Colour (0xff1a1c1e));
    g.fillPath (lettering);

    for (auto x : { plate.getX() + 5.0f, plate.getRight() - 5.0f })
        drawScrew (g, { x, centre.y }, 2.2f, x * 0.37f);
}

void drawMakersMark (juce::Graphics& g, juce::Point<float> centre)
{
    // A dark half-disc with a small peak-and-wave mark.
    const auto radius = shapes::meterBadgeRadius();
    Path disc;
    disc.addCentredArc (centre.x, centre.y, radius, radius, 0.0f, -juce::MathConstants<float>::halfPi, juce::MathConstants<float>::halfPi, true);
    disc.closeSubPath();
    g.setColour (Colour (0xff1a2b24));
    g.fillPath (disc);
    g.setColour (Colour (0x40ffffff));
    g.strokePath (disc, juce::PathStrokeType (0.6f));

    Path mark;
    mark.startNewSubPath (centre.x - 6.0f, centre.y - 1.5f);
    mark.lineTo (centre.x - 3.0f, centre.y - 4.5f);
    mark.lineTo (centre.x - 0.5f, centre.y - 2.0f);
    mark.lineTo (centre.x + 2.2f, centre.y - 7.5f);
    mark.lineTo (centre.x + 6.0f, centre.y - 1.5f);
    g.setColour (colours::lcdFace);
    g.strokePath (mark, juce::PathStrokeType (1.3f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}

void drawMeterWindow (juce::Graphics& g, juce::Image& image)
{
    const auto face = layout::meter.toFloat();
    const auto frame = face.expanded (4.0f);
    const auto bezel = face.expanded (8.0f);

    g.setColour (Colour (0x80000000));
    g.fillRoundedRectangle (bezel.translated (0.0f, 2.0f).expanded (1.0f), 6.0f);
    const auto bezelShape = roundedBox (bezel, 5.0f);
    ColourGradient bezelFill (Colour (0xff50565b), 0.0f, bezel.getY(), Colour (0xff17191b), 0.0f, bezel.getBottom(), false);
    g.setGradientFill (bezelFill);
    g.fillPath (bezelShape);
    g.setColour (Colour (0x40ffffff));
    g.drawRoundedRectangle (bezel.reduced (0.5f), 5.0f, 0.8f);

    const auto frameShape = roundedBox (frame, 3.0f);
    fillVertical (g, frameShape, Colour (0xff0c1f14), Colour (0xff1d4129));
    drawInnerShadow (g, frameShape, Colour (0xff000000), 2, { 0, 1 });

    g.setGradientFill (ColourGradient (colours::lcdFace, 0.0f, face.getY(), colours::lcdFaceShade, 0.0f, face.getBottom(), false));
    g.fillRect (face);
    addBrushedTexture (image, layout::meter, 0.0f, 0.018f, 41u);

    // The segments' ghosts: the face shows where they are before they light.
    g.setColour (colours::meterInk.withAlpha (0.07f));
    for (int side = 0; side < 2; ++side)
        for (int segment = 0; segment < 4; ++segment)
            shapes::fillMeterSegment (g, side, segment, face.getPosition());

    // A pivot dot where the segments meet.
    const auto centre = face.getPosition() + juce::Point<float> (39.5f, 30.0f);
    g.setColour (colours::meterInk.withAlpha (0.35f));
    g.fillEllipse (Rectangle<float> (2.4f, 2.4f).withCentre (centre));

    drawMakersMark (g, face.getPosition() + shapes::meterBadgeCentre());

    // Depth under the frame and a faint sheen across the glass.
    drawInnerShadow (g, roundedBox (face, 0.5f), Colour (0xa0000000), 3, { 0, 1 });
    juce::Graphics::ScopedSaveState state (g);
    g.reduceClipRegion (layout::meter);
    Path sheen;
    sheen.startNewSubPath (face.getX(), face.getY());
    sheen.lineTo (face.getX() + 52.0f, face.getY());
    sheen.lineTo (face.getX() + 22.0f, face.getBottom());
    sheen.lineTo (face.getX(), face.getBottom());
    sheen.closeSubPath();
    g.setColour (Colour (0x14ffffff));
    g.fillPath (sheen);
}

//==============================================================================
void drawBracket (juce::Graphics& g, float x, float top, float bottom, bool opensRight)
{
    const float thickness = 5.0f, arm = 12.0f;
    const auto flip = opensRight ? 1.0f : -1.0f;

    // One outline, so edges and bevels have no seams where the arms meet the spine.
    Path outline;
    outline.startNewSubPath (x, top);
    outline.lineTo (x + flip * arm, top);
    outline.lineTo (x + flip * arm, top + thickness);
    outline.lineTo (x + flip * thickness, top + thickness);
    outline.lineTo (x + flip * thickness, bottom - thickness);
    outline.lineTo (x + flip * arm, bottom - thickness);
    outline.lineTo (x + flip * arm, bottom);
    outline.lineTo (x, bottom);
    outline.closeSubPath();
    const auto bracket = outline.createPathWithRoundedCorners (1.5f);

    juce::DropShadow (Colour (0xb0000000), 4, { 1, 2 }).drawForPath (g, bracket);
    ColourGradient tealFill (colours::tealLight.interpolatedWith (colours::teal, 0.5f), 0.0f, top,
                             colours::tealDark, 0.0f, bottom, false);
    tealFill.addColour (0.3, colours::teal);
    g.setGradientFill (tealFill);
    g.fillPath (bracket);
    drawBevel (g, bracket, Colour (0x70ffffff), Colour (0x80000000), { 1.0f, 1.0f });
}

void drawHorizontalSlot (juce::Graphics& g)
{
    const auto slider = layout::pitchSlider;
    const auto centreY = (float) slider.getCentreY();
    const auto capCentre = [&] (double value) {
        return slider.getX() + layout::horizontalCapLeft (value) + layout::horizontalCapWidth / 2;
    };
    const auto first = (float) capCentre (0.0), last = (float) capCentre (1.0);

    const auto lane = Rectangle<float> (first - 18.0f, centreY - 13.0f, last - first + 36.0f, 26.0f);
    const auto laneShape = roundedBox (lane, 6.0f);
    g.setColour (Colour (0x40000000));
    g.fillPath (laneShape);
    drawInnerShadow (g, laneShape, Colour (0x90000000), 3, { 0, 1 });
    drawLowerRim (g, lane, 6.0f, Colour (0x1effffff));

    const auto slot = Rectangle<float> (first - 6.0f, centreY - 4.0f, last - first + 12.0f, 8.0f);
    const auto slotShape = roundedBox (slot, 4.0f);
    g.setColour (Colour (0xff020202));
    g.fillPath (slotShape);
    drawInnerShadow (g, slotShape, Colour (0xff000000), 2, { 0, 1 });
    drawLowerRim (g, slot, 4.0f, Colour (0x38ffffff));

    for (int step = 0; step <= 8; ++step)
    {
        const auto x = capCentre (step / 8.0);
        const auto major = step % 4 == 0;
        const auto length = major ? 7 : 4;
        g.setColour (colours::printing.withAlpha (major ? 0.9f : 0.55f));
        g.fillRect (x - 1, slider.getY() - 2 - length, 2, length);
        g.fillRect (x - 1, slider.getBottom() + 2, 2, length);
    }

    drawBracket (g, (float) slider.getX() - 12.0f, (float) slider.getY() - 12.0f, (float) slider.getBottom() + 12.0f, true);
    drawBracket (g, (float) slider.getRight() + 12.0f, (float) slider.getY() - 12.0f, (float) slider.getBottom() + 12.0f, false);

    const auto font = boldFont (9.0f).withExtraKerningFactor (0.14f);
    g.setColour (colours::printing.withAlpha (0.75f));
    g.fillPath (textOutline (font, "LOW", { (float) capCentre (0.0), (float) slider.getBottom() + 21.0f }));
    g.fillPath (textOutline (font, "HIGH", { (float) capCentre (1.0), (float) slider.getBottom() + 21.0f }));
}
} // namespace

juce::Image drawBackground()
{
    auto image = makeImage (layout::editorWidth, layout::editorHeight);
    juce::Graphics g (image);

    drawPanels (image, g);
    drawPowerRecess (g);
    drawReadoutWindow (g);

    drawCrossBrace (g, layout::leftLamp);
    drawCrossBrace (g, layout::rightLamp);
    drawVerticalSlot (g);

    drawMeterWindow (g, image);
    const auto meterCentreY = (float) layout::meter.getCentreY();
    const auto offset = 83.5f;
    drawCaptionPlate (g, { (float) layout::meter.getX() + 39.5f - offset, meterCentreY }, "LOW");
    drawCaptionPlate (g, { (float) layout::meter.getX() + 39.5f + offset, meterCentreY }, "HIGH");

    drawHorizontalSlot (g);

    for (auto corner : { juce::Point<float> (14.0f, 86.0f), juce::Point<float> (336.0f, 86.0f),
                         juce::Point<float> (14.0f, 586.0f), juce::Point<float> (336.0f, 586.0f) })
        drawScrew (g, corner, 4.5f, corner.x * 0.11f + corner.y * 0.05f);

    return image;
}
} // namespace olvar::art
