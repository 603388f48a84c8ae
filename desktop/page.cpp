#include "desktop/page.h"

#include <QEvent>
#include <QVBoxLayout>
#include <limits>

#include "dialogs/ansi.h"

namespace page {

void Paint(QWidget* widget, const QColor& background) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, background);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

QLabel* MakePicture(QWidget* parent, const char* name, const QRect& place, const QPixmap& picture,
                    bool stretch) {
  auto* image = new QLabel(parent);
  image->setObjectName(name);
  image->setGeometry(place);
  // A picture painted at the label's size is shown as it is: stretching it would change no pixel
  // and only keep a scaled copy of it.
  image->setScaledContents(stretch && picture.deviceIndependentSize() != QSizeF(place.size()));
  image->setPixmap(picture);
  image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return image;
}

namespace {

// Builds a page's contents at its first show, then goes.
class TBuildOnShow : public QObject {
 public:
  TBuildOnShow(QWidget* Page, std::function<void()> Build)
      : QObject(Page), FBuild(std::move(Build)) {
    Page->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      watched->removeEventFilter(this);
      auto* page = static_cast<QWidget*>(watched);
      const QList<QWidget*> before = page->findChildren<QWidget*>();
      FBuild();
      // The page is on screen already, and what is made in a visible widget stays hidden until
      // it is shown.
      if (QLayout* layout = page->layout()) layout->activate();
      for (QWidget* made : page->findChildren<QWidget*>()) {
        if (!before.contains(made) && !made->isWindow() && made->parentWidget()->isVisible() &&
            !made->testAttribute(Qt::WA_WState_ExplicitShowHide)) {
          made->show();
        }
      }
      deleteLater();
    }
    return false;
  }

 private:
  std::function<void()> FBuild;
};

}  // namespace

void BuildOnFirstShow(QWidget* Page, std::function<void()> Build) {
  new TBuildOnShow(Page, std::move(Build));
}

QLabel* MakeBand(QWidget* parent, const char* name, const QString& text, int top, const QFont& font,
                 int left, int width, int height) {
  auto* band = new QLabel(text, parent);
  band->setObjectName(name);
  band->setFont(font);
  band->setAlignment(Qt::AlignCenter);
  band->setGeometry(left, top, width, height);
  Paint(band, look::kDarkTeal);
  SetTextColour(band, Qt::white);
  return band;
}

// The frame every page shares: a panel in the window's colour above a footer label. Their
// sizes are fixed, as the pages' contents are placed in pixels; whatever the style's tab frame
// leaves over stays in the window's green around them.
QWidget* MakePageFrame(QWidget* page, const char* panelName, QLabel*& footer,
                       const char* footerName, const QString& footerText) {
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* panel = new QWidget(page);
  panel->setObjectName(panelName);
  panel->setFont(look::SansFont());
  panel->setFixedSize(kPageWidth, kPanelHeight);
  Paint(panel, look::kMoneyGreen);
  footer = new QLabel(footerText, page);
  footer->setObjectName(footerName);
  footer->setFont(look::ArialFont(12, true, true));
  footer->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  footer->setFixedSize(kPageWidth, 15);
  SetTextColour(footer, look::kDarkTeal);
  Paint(footer, look::kMoneyGreen);
  layout->addStretch(1);
  layout->addWidget(panel, 0, Qt::AlignHCenter);
  layout->addWidget(footer, 0, Qt::AlignHCenter);
  return panel;
}

QLabel* FollowOn(QLabel* label, const QLabel* before) {
  // Measured with the blanks at its end, which a label's own size leaves out.
  const int end = before->x() + before->contentsRect().left() +
                  before->fontMetrics().horizontalAdvance(before->text());
  label->move(end, label->y());
  return label;
}

QLabel* MakeParagraph(QWidget* parent, const char* name, const QString& text, const QRect& place,
                      const QFont& font) {
  QLabel* label = MakeLabel(parent, name, text, place.left(), place.top(), font);
  label->setWordWrap(true);
  label->setGeometry(place);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QPixmap& glyph, const QPixmap& disabledGlyph, const QRect& place) {
  QIcon icon(glyph);
  icon.addPixmap(disabledGlyph, QIcon::Disabled);
  auto* button = new QPushButton(icon, caption, parent);
  button->setObjectName(name);
  button->setGeometry(place);
  return button;
}

void ClickOnEnter(QLineEdit* Box, QPushButton* Button) {
  Button->setAutoDefault(true);
  Button->setDefault(true);
  QObject::connect(Box, &QLineEdit::returnPressed, Button, [Button] {
    if (Button->isEnabled()) Button->click();
  });
}

void LimitLength(QLineEdit* Box, int Width) {
  Box->setMaxLength(Width > 0 ? Width : std::numeric_limits<int>::max());
}

std::string MemoText(const QPlainTextEdit* Memo) {
  QString text = Memo->toPlainText();
  text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  return ToAnsi(text);
}

}  // namespace page
