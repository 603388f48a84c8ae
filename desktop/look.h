#pragma once

#include <QColor>
#include <QFont>
#include <QStringList>

// Fonts and colours of the desktop window. Fonts name the Windows face first and fall back to
// the metric-compatible faces a Linux desktop carries.
namespace look {

inline const QColor kMoneyGreen{192, 220, 192};
inline const QColor kDarkTeal{0, 102, 102};
inline const QColor kSeaGreen{51, 153, 153};
inline const QColor kTitleOrange{255, 155, 106};
inline const QColor kMaroon{128, 0, 0};

inline QFont Font(const QStringList& families, int pixels, bool bold, bool italic) {
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

inline QFont SansFont(int pixels = 11, bool bold = false, bool italic = false) {
  return Font({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "DejaVu Sans"}, pixels,
              bold, italic);
}

inline QFont ArialFont(int pixels, bool bold = false, bool italic = false) {
  return Font({"Arial", "Liberation Sans", "DejaVu Sans"}, pixels, bold, italic);
}

inline QFont TimesFont(int pixels, bool bold = false, bool italic = false) {
  return Font({"Times New Roman", "Liberation Serif", "DejaVu Serif"}, pixels, bold, italic);
}

}  // namespace look
