#include "app/window_layout.h"

namespace {

// Moves a control unless the new size is negative, which the window system refuses: the control
// then keeps its geometry and the caller's next step runs on.
void move(TwipRect &control, TwipRect to)
{
    if (to.width >= 0 && to.height >= 0)
        control = to;
}

} // namespace

void WindowLayout::layOut(TwipSize inner, float statusBarHeight)
{
    move(SearchFrame, {0, 0, SearchFrame.width, SearchFrame.height});
    move(AddsFrame, {SearchFrame.width, 0, AddsFrame.width, AddsFrame.height});
    move(ResultsFrame, {0, SearchFrame.bottom(), inner.width, inner.height - SearchFrame.height - statusBarHeight});
    move(EnginesList, {0, 0, EnginesList.width, ResultsFrame.height});
    LayoutPanes();
}

void WindowLayout::LayoutPanes()
{
    move(FTPList, {EnginesList.width, 0, FTPList.width, ResultsFrame.height});
    move(ResizeBar, {FTPList.right(), 0, ResizeBar.width, ResultsFrame.height});
    const float rightWidth = ResultsFrame.width - FTPList.width - EnginesList.width - ResizeBar.width;
    move(LinksList, {ResizeBar.right(), 0, rightWidth, ResultsFrame.height - InfoBox.height});
    move(InfoBox, {ResizeBar.right(), LinksList.bottom(), rightWidth, InfoBox.height});
}

void WindowLayout::resizeBarDown(float x)
{
    m_resizing = true;
    m_resizeStartX = x;
}

bool WindowLayout::resizeBarMove(float x)
{
    if (!m_resizing)
        return false;
    const float newLeft = x - m_resizeStartX + ResizeBar.left;
    const float newWidth = newLeft - FTPList.left;
    if (newWidth < kNarrowestTree || ResultsFrame.width - newWidth + FTPList.left < kNarrowestRight)
        return false;
    ResizeBar.left = newLeft;
    FTPList.width = newWidth;
    LayoutPanes();
    return true;
}

void WindowLayout::resizeBarUp()
{
    m_resizing = false;
}
