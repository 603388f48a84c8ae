#pragma once

#include <QPixmap>

#include "dialogs/quillby_dialog.h"

// Button glyphs drawn for this program: 18 x 18 for the button kinds and 16 x 16 for the key,
// each with a greyed twin for the disabled state.
QPixmap KindGlyph(TBitBtnKind Kind, bool Disabled = false);
QPixmap KeyGlyph(bool Disabled = false);
