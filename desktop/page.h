#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <functional>
#include <string>

#include "desktop/look.h"

// The building blocks every page of the desktop window is made of.
namespace page {

// A page's panel, above its 15-pixel footer.
constexpr int kPageWidth = 611;
constexpr int kPanelHeight = 401;

void Paint(QWidget* widget, const QColor& background);
void SetTextColour(QWidget* widget, const QColor& colour);

// A label showing its text as plain text, sized to it.
template <class T = QLabel>
T* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
             const QFont& font, const QColor& colour = Qt::black) {
  auto* label = new T(text, parent);
  label->setObjectName(name);
  // Texts are shown as they are; a stored name that looks like markup must not be rendered.
  label->setTextFormat(Qt::PlainText);
  label->setFont(font);
  SetTextColour(label, colour);
  label->move(left, top);
  label->adjustSize();
  return label;
}

// A word-wrapped text in a fixed box, from its top-left corner.
QLabel* MakeParagraph(QWidget* parent, const char* name, const QString& text, const QRect& place,
                      const QFont& font);

// A push button with a glyph and its greyed twin, placed in pixels.
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QPixmap& glyph, const QPixmap& disabledGlyph, const QRect& place);

QLabel* MakePicture(QWidget* parent, const char* name, const QRect& place, const QPixmap& picture,
                    bool stretch);

// Builds a page's contents, or some of them, when the page is first shown, so that a session
// that never opens it never makes those controls or loads their fonts.
void BuildOnFirstShow(QWidget* Page, std::function<void()> Build);

// A section heading: white bold text centred on dark teal, 20 high across the page.
QLabel* MakeBand(QWidget* parent, const char* name, const QString& text, int top,
                 const QFont& font = look::SansFont(11, true), int left = 0, int width = kPageWidth,
                 int height = 20);

// The frame every page shares: a panel in the window's colour above a footer label.
QWidget* MakePageFrame(QWidget* page, const char* panelName, QLabel*& footer,
                       const char* footerName, const QString& footerText);

// A label that follows another on the same line, placed where the other's text ends. The
// designed lefts are where the designed faces end; the faces that stand in for them here run
// wider or narrower, so the place is measured.
QLabel* FollowOn(QLabel* label, const QLabel* before);

// Enter in the box clicks the page's default button when it is enabled; the button is drawn as
// the default, and Enter on any focused page button clicks that one.
void ClickOnEnter(QLineEdit* Box, QPushButton* Button);

// The box keeps at most Width characters, its store column's width; 0, where no column limits
// it, leaves it no limit at all (not QLineEdit's 32767, which cuts what is typed or pasted).
void LimitLength(QLineEdit* Box, int Width);

// A memo's text as the program holds it: lines separated by CR LF.
std::string MemoText(const QPlainTextEdit* Memo);

}  // namespace page
