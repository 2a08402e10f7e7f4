#pragma once

// The main window's geometry, in twips and without widgets: where the search band, the ads panel
// and the panes go when the window's size changes, and how dragging the bar between the result
// tree and the links list shares the width. The window applies it at 15 twips per pixel.

// Twips in single precision: a drag's comparisons are made on these values as they are.
struct TwipRect
{
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;

    float right() const { return left + width; }
    float bottom() const { return top + height; }
    friend bool operator==(const TwipRect &, const TwipRect &) = default;
};

struct TwipSize
{
    float width = 0;
    float height = 0;
};

class WindowLayout final
{
public:
    // The window's inner area is never smaller than the design's: every control then fits. (The
    // design's outer minimum, 9855 by 6150, is this area under its frame, caption and menu bar.)
    static constexpr TwipSize kDesignInner{9735, 5460};
    // A dragged result tree keeps at least this width, and the panes at its right this much.
    static constexpr float kNarrowestTree = 500;
    static constexpr float kNarrowestRight = 6000;

    // Places everything for a window whose inner area (below the menu bar, with the status
    // bar) is `inner`. A control whose computed size would be negative keeps its geometry.
    void layOut(TwipSize inner, float statusBarHeight);
    // Places the panes inside the results frame, from its top-left corner.
    void LayoutPanes();

    // The bar's mouse events; x is in the bar's own coordinates. A move returns whether the
    // panes moved.
    void resizeBarDown(float x);
    bool resizeBarMove(float x);
    void resizeBarUp();

    // Where the controls are: their design geometry until the first layOut.
    TwipRect SearchFrame{30, 60, 3810, 1000};
    TwipRect AddsFrame{3810, 75, 5880, 1000};
    TwipRect ResultsFrame{75, 1005, 9435, 4095};
    // In ResultsFrame:
    TwipRect EnginesList{150, 255, 1485, 3705};
    TwipRect FTPList{1650, 225, 2565, 3705};
    TwipRect ResizeBar{3960, 270, 50, 3690};
    TwipRect LinksList{4320, 225, 5100, 2250};
    TwipRect InfoBox{4320, 3195, 5070, 735};

private:
    bool m_resizing = false;
    float m_resizeStartX = 0;
};
