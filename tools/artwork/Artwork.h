// Shared pieces of the artwork generator: colours, the editor positions the art has to
// line up with, drawing helpers and one function per image.

#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace olvar::art
{
//==============================================================================
// Where the editor draws things (editor pixels); the background is built around them.
namespace layout
{
    constexpr int editorWidth = 350, editorHeight = 600;

    const juce::Rectangle<int> powerKey { 12, 12, 44, 44 };
    constexpr int readoutX = 100, readoutY = 22, readoutCells = 4;
    const juce::Rectangle<int> logo { 200, 12, 136, 51 };
    const juce::Rectangle<int> badge { 320, 6, 24, 24 };
    const juce::Rectangle<int> mainSlider { 132, 92, 84, 280 };
    const juce::Rectangle<int> pitchSlider { 31, 520, 287, 36 };
    const juce::Rectangle<int> meter { 135, 402, 79, 60 };
    const juce::Point<int> leftLamp { 56, 80 }, rightLamp { 276, 80 };

    // Image sizes the editor code relies on.
    constexpr int digitWidth = 16, digitHeight = 22, digitCells = 11;
    constexpr int pointWidth = 8;
    constexpr int keySize = 44;
    constexpr int lampWidth = 18, lampHeight = 14;
    constexpr int verticalCapWidth = 84, verticalCapHeight = 74;
    constexpr int horizontalCapWidth = 68, horizontalCapHeight = 36;

    // Cap offsets inside the sliders for a value in 0..1, computed as the look-and-feel does.
    int verticalCapTop (double value);
    int horizontalCapLeft (double value);
} // namespace layout

//==============================================================================
namespace colours
{
    const juce::Colour panel { 0xff25282b };
    const juce::Colour panelDark { 0xff1b1d1f };
    const juce::Colour topBar { 0xff121315 };
    const juce::Colour teal { 0xff1fae9f };
    const juce::Colour tealLight { 0xff74e6d8 };
    const juce::Colour tealDark { 0xff0b5650 };
    const juce::Colour segmentLit { 0xffff8a1e };
    const juce::Colour segmentHot { 0xffffd08a };
    const juce::Colour lcdFace { 0xffc2cfbd };
    const juce::Colour lcdFaceShade { 0xffa9b9a4 };
    const juce::Colour lcdFrame { 0xff14301f };
    const juce::Colour meterInk { 0xff0c4744 };
    const juce::Colour printing { 0xffc9d0d4 };
} // namespace colours

//==============================================================================
// Helpers (Drawing.cpp).
juce::Image makeImage (int width, int height);

// Deterministic value noise in -1..1 for integer coordinates.
float hashNoise (int x, int y, juce::uint32 seed);

// Multiplies the brightness of an area by fine horizontal streaks, as on brushed metal.
void addBrushedTexture (juce::Image& image, juce::Rectangle<int> area, float streakAmount, float grainAmount, juce::uint32 seed);

// A recess: the outside casts a soft shadow into the given shape.
void drawInnerShadow (juce::Graphics& g, const juce::Path& shape, juce::Colour colour, int radius, juce::Point<int> offset);

// A rim light on the lower edge of a recess, fading towards the top.
void drawLowerRim (juce::Graphics& g, juce::Rectangle<float> area, float corner, juce::Colour colour);

// Raised edges inside a shape: light along its upper left, shade along its lower right.
void drawBevel (juce::Graphics& g, const juce::Path& shape, juce::Colour light, juce::Colour shade, juce::Point<float> offset);

void drawScrew (juce::Graphics& g, juce::Point<float> centre, float radius, float slotAngle);

// Text as an outline, centred on a point, so it can be filled with gradients.
juce::Path textOutline (const juce::Font& font, const juce::String& text, juce::Point<float> centre);

// The system font the lettering uses; exits with a message if it is missing.
juce::Font boldFont (float height);

//==============================================================================
// Shapes that appear in more than one image.
namespace shapes
{
    // One of the eight meter segments in window coordinates (79 x 60). Side 0 is the low
    // band (left half), 1 the high band; segment 0 is the lowest, 3 the highest.
    // Fills it with the current colour or brush, the window's top left at origin.
    void fillMeterSegment (juce::Graphics& g, int side, int segment, juce::Point<float> origin);

    // The dark half-disc at the bottom centre of the meter window and its clearance.
    juce::Point<float> meterBadgeCentre();
    float meterBadgeRadius();

    // Seven-segment glyph bars inside one 16 x 22 cell; a bit per segment (a..g).
    juce::Path sevenSegments (int segmentMask);
    int segmentMaskFor (juce::juce_wchar character);

    juce::Path lightningBolt (juce::Rectangle<float> area);
} // namespace shapes

//==============================================================================
// The images (Pieces.cpp, Background.cpp).
juce::Image drawBackground();
juce::Image drawDecimalPoint();
juce::Image drawPowerKey();
juce::Image drawMeterSegment (int side, int segment);
juce::Image drawLogo();
juce::Image drawReadoutDigits();
juce::Image drawOverLamp();
juce::Image drawVerticalCap();
juce::Image drawHorizontalCap();
} // namespace olvar::art
