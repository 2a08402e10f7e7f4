#pragma once

#include <QRect>
#include <QWidget>

// The windows are designed in twips: 15 twips are one pixel at 96 dots per inch.
constexpr int fromTwips(int twips)
{
    return twips / 15;
}

constexpr QRect fromTwips(int left, int top, int width, int height)
{
    return {fromTwips(left), fromTwips(top), fromTwips(width), fromTwips(height)};
}

// The design's texts were set in 8 points: a window laid out in twips takes that size, unless the
// desktop's own font is smaller. Labels still grow to show their whole text (growToText).
inline void useDesignFont(QWidget *window)
{
    QFont font = window->font();
    if (font.pointSizeF() > 8)
        font.setPointSizeF(8);
    window->setFont(font);
}

// A label at its designed place, grown to show its whole text.
inline void growToText(QWidget *label)
{
    label->resize(label->size().expandedTo(label->sizeHint()));
}
