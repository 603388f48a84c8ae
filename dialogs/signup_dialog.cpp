#include "dialogs/signup_dialog.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <iterator>

namespace {

class TAccessibleCaptionedValue : public QAccessibleWidget {
 public:
  explicit TAccessibleCaptionedValue(TCaptionedValue* Value)
      : QAccessibleWidget(Value, QAccessible::StaticText) {}

  QString text(QAccessible::Text T) const override {
    if (T != QAccessible::Name) return QAccessibleWidget::text(T);
    const auto* value = static_cast<const TCaptionedValue*>(widget());
    if (value->text().isEmpty()) return value->Caption();
    return value->Caption() + QLatin1Char(' ') + value->text();
  }
};

QAccessibleInterface* CaptionedValueFactory(const QString& Key, QObject* Object) {
  if (Key == QLatin1String("TCaptionedValue") && Object && Object->isWidgetType()) {
    return new TAccessibleCaptionedValue(static_cast<TCaptionedValue*>(Object));
  }
  return nullptr;
}

QLabel* Place(QLabel* label, const char* name, int left, int top, bool bold) {
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setFont(DialogFont(11, bold));
  label->move(left, top);
  label->adjustSize();
  return label;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                  bool bold) {
  return Place(new QLabel(text, parent), name, left, top, bold);
}

}  // namespace

TCaptionedValue::TCaptionedValue(const QString& Caption, QWidget* parent)
    : QLabel(parent), FCaption(Caption) {
  static const bool installed = [] {
    QAccessible::installFactory(CaptionedValueFactory);
    return true;
  }();
  (void)installed;
}

TSignupDialog::TSignupDialog(QWidget* parent) : TQuillbyDialog(parent) {
  setObjectName("SignupDialog");
  setWindowTitle("SignupDialog");
  SetCaptionText("Quillby Desktop");
  SetClientSize(341, 327);
  btnCancel->hide();
  btnOK->move(132, btnOK->y());

  Label1 = MakeLabel(Panel3, "Label1", "Thank You for signing up with us!", 30, 12, true);
  Label1->setGeometry(30, 12, 281, 16);
  Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label3 = MakeLabel(Panel3, "Label3", "Signup Information:", 30, 40, false);

  struct Row {
    QLabel*& Value;
    const char* Name;
  };
  const Row rows[] = {
      {lblName, "lblName"},
      {lblEmail, "lblEmail"},
      {lblStreetAddress, "lblStreetAddress"},
      {lblZipCode, "lblZipCode"},
      {lblPhone, "lblPhone"},
      {lblBestTime, "lblBestTime"},
      {lblDebtAmount, "lblDebtAmount"},
  };
  static_assert(std::size(rows) == std::size(kSignupCaptions));
  int top = 64;
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    QLabel* caption = MakeLabel(Panel3, "", kSignupCaptions[i], 40, top, true);
    auto* value = new TCaptionedValue(caption->text(), Panel3);
    value->setText(QString::fromLatin1(row.Name + 3));
    row.Value = Place(value, row.Name, 160, top, false);
    row.Value->setGeometry(160, top, 341 - 160 - 8, caption->height());
    top += 16;
  }

  Label2 = MakeLabel(Panel3, "Label2",
                     "Our representative will be calling you on %s for a free consultation. We "
                     "recommend that you document the debt that you currently have, and the amount "
                     "currently owed for each creditor.",
                     30, 0, false);
  Label2->setWordWrap(true);
  Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label2->setGeometry(30, Panel3->height() - 65 - 8, 281, 65);
  Anchor(Label2, akLeft | akBottom);

  SetActiveControl(btnOK);
}

QString FormatWithText(const QString& Template, const QString& Argument) {
  QString text = Template;
  const qsizetype at = text.indexOf(QLatin1String("%s"));
  if (at >= 0) text.replace(at, 2, Argument);
  return text;
}
