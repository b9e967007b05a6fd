// olvar-artwork: draws the editor's sixteen images and writes them as PNG files, and can
// compose whole-editor previews to check that every piece lines up with the background.

#include "Artwork.h"

#include <iostream>
#include <vector>

namespace
{
using namespace olvar::art;

struct NamedImage
{
    const char* fileName;
    juce::Image image;
};

// In the order of the embedded arrays temp1 to temp16.
std::vector<NamedImage> drawAllImages()
{
    return {
        { "background.png", drawBackground() },
        { "readout-decimal-point.png", drawDecimalPoint() },
        { "power-key.png", drawPowerKey() },
        { "meter-high-segment-1.png", drawMeterSegment (1, 0) },
        { "meter-high-segment-2.png", drawMeterSegment (1, 1) },
        { "meter-high-segment-3.png", drawMeterSegment (1, 2) },
        { "meter-high-segment-4.png", drawMeterSegment (1, 3) },
        { "meter-low-segment-1.png", drawMeterSegment (0, 0) },
        { "meter-low-segment-2.png", drawMeterSegment (0, 1) },
        { "meter-low-segment-3.png", drawMeterSegment (0, 2) },
        { "meter-low-segment-4.png", drawMeterSegment (0, 3) },
        { "logo.png", drawLogo() },
        { "readout-digits.png", drawReadoutDigits() },
        { "over-lamp.png", drawOverLamp() },
        { "fader-cap-vertical.png", drawVerticalCap() },
        { "fader-cap-horizontal.png", drawHorizontalCap() },
    };
}

bool writePng (const juce::Image& image, const juce::File& file)
{
    // FileOutputStream appends, so start from an empty file.
    if (file.exists() && ! file.deleteFile())
        return false;

    juce::FileOutputStream out (file);
    return out.openedOk() && juce::PNGImageFormat().writeImageToStream (image, out) && (out.flush(), out.getStatus().wasOk());
}

//==============================================================================
// What the editor would show, and a drawing of it made the way the editor draws.
struct EditorState
{
    double main = 0.5, pitch = 0.5;
    double display = 0.0; // the readout, which the editor derives from main on its timer
    int lowLevel = -1, highLevel = -1;
    bool leftLamp = false, rightLamp = false, powerOn = true, badge = false;
};

juce::Image composeEditor (const std::vector<NamedImage>& images, const EditorState& state)
{
    const auto& background = images[0].image;
    const auto& point = images[1].image;
    const auto& key = images[2].image;
    const auto& logo = images[11].image;
    const auto& digits = images[12].image;
    const auto& lamp = images[13].image;
    const auto& verticalCap = images[14].image;
    const auto& horizontalCap = images[15].image;

    auto canvas = makeImage (layout::editorWidth, layout::editorHeight);
    juce::Graphics g (canvas);
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
    g.drawImageAt (background, 0, 0);

    // The readout: the value truncated towards zero, right-aligned in four cells.
    const auto text = juce::String ((int) state.display);
    const auto cellHeight = digits.getHeight() / layout::digitCells;
    auto x = (layout::readoutCells - text.length()) * digits.getWidth() + layout::readoutX;

    for (auto c : text)
    {
        if (c == '.')
        {
            g.drawImageAt (point, x, layout::readoutY);
            x += point.getWidth();
            continue;
        }

        const auto cell = c == '-' ? 10 : (c >= '0' && c <= '9' ? (int) (c - '0') : 0);
        g.drawImage (digits, x, layout::readoutY, digits.getWidth(), cellHeight, 0, cell * cellHeight, digits.getWidth(), cellHeight);
        x += digits.getWidth();
    }

    for (int i = 0; i < 4 && state.lowLevel >= i; ++i)
        g.drawImageAt (images[(size_t) (7 + i)].image, layout::meter.getX(), layout::meter.getY());
    for (int i = 0; i < 4 && state.highLevel >= i; ++i)
        g.drawImageAt (images[(size_t) (3 + i)].image, layout::meter.getX(), layout::meter.getY());

    if (state.leftLamp)
        g.drawImageAt (lamp, layout::leftLamp.x, layout::leftLamp.y);
    if (state.rightLamp)
        g.drawImageAt (lamp, layout::rightLamp.x, layout::rightLamp.y);

    // The controls, each inside its own bounds as JUCE paints children.
    const auto keyCell = key.getHeight() / 2;
    g.drawImage (key, layout::powerKey.getX(), layout::powerKey.getY(), key.getWidth(), keyCell,
                 0, state.powerOn ? keyCell : 0, key.getWidth(), keyCell);
    g.drawImageAt (logo, layout::logo.getX(), layout::logo.getY());

    {
        juce::Graphics::ScopedSaveState saved (g);
        g.reduceClipRegion (layout::mainSlider);
        g.drawImageAt (verticalCap, layout::mainSlider.getX(), layout::mainSlider.getY() + layout::verticalCapTop (state.main));
    }
    {
        juce::Graphics::ScopedSaveState saved (g);
        g.reduceClipRegion (layout::pitchSlider);
        g.drawImageAt (horizontalCap, layout::pitchSlider.getX() + layout::horizontalCapLeft (state.pitch), layout::pitchSlider.getY());
    }

    if (state.badge)
    {
        const auto b = layout::badge;
        g.setColour (juce::Colours::red);
        g.fillEllipse (b.toFloat());
        g.setColour (juce::Colours::white);
        g.fillRect (b.getX() + 10, b.getY() + 4, 4, 10);
        g.fillRect (b.getX() + 10, b.getY() + 17, 4, 4);
    }

    return canvas;
}

juce::Image checkerboard (int width, int height)
{
    auto image = makeImage (width, height);
    juce::Graphics g (image);
    g.fillAll (juce::Colour (0xff8a8a8a));
    g.setColour (juce::Colour (0xff6a6a6a));
    for (int y = 0; y < height; y += 8)
        for (int x = (y / 8) % 2 * 8; x < width; x += 16)
            g.fillRect (x, y, 8, 8);
    return image;
}

// Every piece but the background, enlarged without smoothing on a checkerboard so
// transparency and single pixels can be inspected.
juce::Image composePieceSheet (const std::vector<NamedImage>& images)
{
    constexpr int zoom = 3, margin = 12, rowWidth = 1300;
    std::vector<juce::Rectangle<int>> places;
    int x = margin, y = margin, rowHeight = 0, width = 0;

    for (size_t i = 1; i < images.size(); ++i)
    {
        const auto w = images[i].image.getWidth() * zoom, h = images[i].image.getHeight() * zoom;

        if (x + w > rowWidth && x > margin)
        {
            x = margin;
            y += rowHeight + margin;
            rowHeight = 0;
        }

        places.emplace_back (x, y, w, h);
        x += w + margin;
        width = juce::jmax (width, x);
        rowHeight = juce::jmax (rowHeight, h);
    }

    auto sheet = checkerboard (width, y + rowHeight + margin);
    juce::Graphics g (sheet);
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);

    for (size_t i = 1; i < images.size(); ++i)
    {
        const auto& image = images[i].image;
        const auto& place = places[i - 1];
        // A frame just outside each piece shows where its transparent margins end.
        g.setColour (juce::Colour (0xffd02020));
        g.drawRect (place.expanded (1), 1);
        g.drawImage (image, place.getX(), place.getY(), place.getWidth(), place.getHeight(), 0, 0, image.getWidth(), image.getHeight());
    }

    return sheet;
}

juce::Image enlarged (const juce::Image& image, int zoom)
{
    auto result = makeImage (image.getWidth() * zoom, image.getHeight() * zoom);
    juce::Graphics g (result);
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
    g.drawImage (image, 0, 0, result.getWidth(), result.getHeight(), 0, 0, image.getWidth(), image.getHeight());
    return result;
}

// The meter window at every level from dark to full, both bands alike, then mixed.
juce::Image composeMeterSheet (const std::vector<NamedImage>& images)
{
    constexpr int zoom = 3, margin = 10;
    const auto window = layout::meter.expanded (10);
    const std::vector<std::pair<int, int>> levels { { -1, -1 }, { 0, 0 }, { 1, 1 }, { 2, 2 }, { 3, 3 }, { 1, 3 }, { 3, 0 } };

    auto sheet = makeImage ((int) levels.size() * (window.getWidth() * zoom + margin) + margin, window.getHeight() * zoom + 2 * margin);
    juce::Graphics g (sheet);
    g.fillAll (juce::Colour (0xff101010));
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);

    for (size_t i = 0; i < levels.size(); ++i)
    {
        EditorState state;
        state.lowLevel = levels[i].first;
        state.highLevel = levels[i].second;
        const auto editor = composeEditor (images, state);
        g.drawImage (editor, margin + (int) i * (window.getWidth() * zoom + margin), margin,
                     window.getWidth() * zoom, window.getHeight() * zoom,
                     window.getX(), window.getY(), window.getWidth(), window.getHeight());
    }

    return sheet;
}

bool writePreviews (const std::vector<NamedImage>& images, const juce::File& file)
{
    file.getParentDirectory().createDirectory();
    const auto sibling = [&] (const char* suffix) {
        return file.getSiblingFile (file.getFileNameWithoutExtension() + suffix + ".png");
    };

    // Everything lit at once, for checking alignment; the readout (-49) is set apart from
    // the caps, which sit in the middle.
    EditorState full;
    full.display = -49.5;
    full.lowLevel = full.highLevel = 3;
    full.leftLamp = full.rightLamp = true;
    full.badge = true;

    EditorState partial;
    partial.main = 0.615;
    partial.display = 23.0;
    partial.pitch = 0.3;
    partial.lowLevel = 1;
    partial.highLevel = 2;
    partial.leftLamp = true;

    EditorState idle;
    idle.main = 0.0;
    idle.display = -100.0;
    idle.pitch = 1.0;
    idle.powerOn = false;

    EditorState top;
    top.main = 1.0;
    top.display = 100.0;
    top.pitch = 0.0;
    top.lowLevel = 3;
    top.highLevel = 0;
    top.rightLamp = true;

    const auto fullPicture = composeEditor (images, full);

    return writePng (fullPicture, file)
        && writePng (enlarged (fullPicture, 2), sibling ("-x2"))
        && writePng (composeEditor (images, partial), sibling ("-partial"))
        && writePng (composeEditor (images, idle), sibling ("-idle"))
        && writePng (composeEditor (images, top), sibling ("-extremes"))
        && writePng (composeMeterSheet (images), sibling ("-meter"))
        && writePng (composePieceSheet (images), sibling ("-pieces"));
}

void printUsage (std::ostream& out)
{
    out << "usage: olvar-artwork [output-folder] [--preview preview.png]\n"
           "Draws the editor's sixteen images and writes them as PNG files into output-folder\n"
           "(default: " OLVAR_DEFAULT_IMAGE_FOLDER ").\n"
           "--preview also writes a composed picture of the editor to preview.png, with -x2,\n"
           "-partial, -idle, -extremes, -meter and -pieces variants beside it.\n";
}
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;

    juce::String folderArgument, previewArgument;

    for (int i = 1; i < argc; ++i)
    {
        const juce::String argument (argv[i]);

        if (argument == "-h" || argument == "--help")
        {
            printUsage (std::cout);
            return 0;
        }

        if (argument == "--preview" && i + 1 < argc)
            previewArgument = argv[++i];
        else if (! argument.startsWith ("-") && folderArgument.isEmpty())
            folderArgument = argument;
        else
        {
            printUsage (std::cerr);
            return 2;
        }
    }

    const auto cwd = juce::File::getCurrentWorkingDirectory();
    const auto folder = folderArgument.isNotEmpty() ? cwd.getChildFile (folderArgument) : juce::File (OLVAR_DEFAULT_IMAGE_FOLDER);

    if (! folder.createDirectory())
    {
        std::cerr << "olvar-artwork: cannot create " << folder.getFullPathName() << "\n";
        return 1;
    }

    auto images = drawAllImages();

    // The background is the only opaque image; it is stored without an alpha channel.
    images[0].image = images[0].image.convertedToFormat (juce::Image::RGB);

    for (const auto& named : images)
    {
        const auto file = folder.getChildFile (named.fileName);

        if (! writePng (named.image, file))
        {
            std::cerr << "olvar-artwork: cannot write " << file.getFullPathName() << "\n";
            return 1;
        }

        std::cout << file.getFullPathName() << "  " << named.image.getWidth() << " x " << named.image.getHeight() << "\n";
    }

    if (previewArgument.isNotEmpty())
    {
        const auto preview = cwd.getChildFile (previewArgument);

        if (! writePreviews (images, preview))
        {
            std::cerr << "olvar-artwork: cannot write the previews beside " << preview.getFullPathName() << "\n";
            return 1;
        }

        std::cout << "previews beside " << preview.getFullPathName() << "\n";
    }

    return 0;
}
