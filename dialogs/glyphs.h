#pragma once

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <functional>

#include "dialogs/quillby_dialog.h"

// Button glyphs drawn for this program: 18 x 18 for the button kinds and 16 x 16 for the key,
// each with a greyed twin for the disabled state.
// A square glyph painted at the screen's pixel ratio; Disabled gives its greyed twin.
QPixmap DrawGlyph(int Size, const std::function<void(QPainter&)>& Paint, bool Disabled);

QPixmap KindGlyph(TBitBtnKind Kind, bool Disabled = false);
QPixmap KeyGlyph(bool Disabled = false);

// A transparent picture of Width x Height pixels at 96 dpi, made with as many device pixels as
// the sharpest screen shows (QT_SCALE_FACTOR, a high-DPI screen), so what is painted on it in
// its 96-dpi coordinates stays sharp.
QImage SharpCanvas(int Width, int Height);
// The same with Ratio device pixels to each 96-dpi pixel.
QImage SharpCanvas(int Width, int Height, qreal Ratio);
