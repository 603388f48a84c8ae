#include "desktop/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "desktop/desktop_form.h"

namespace {

class TAccessibleLink : public QAccessibleWidget {
 public:
  explicit TAccessibleLink(TLinkLabel* Link) : QAccessibleWidget(Link, QAccessible::Link) {}

  QString text(QAccessible::Text T) const override {
    if (T == QAccessible::Name && widget()->accessibleName().isEmpty()) {
      return static_cast<const TLinkLabel*>(widget())->text();
    }
    return QAccessibleWidget::text(T);
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.linked = true;
    return state;
  }

  QStringList actionNames() const override {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
  }

  void doAction(const QString& Action) override {
    if (Action == pressAction()) {
      static_cast<TLinkLabel*>(widget())->Activate();
    } else {
      QAccessibleWidget::doAction(Action);
    }
  }
};

QAccessibleInterface* DesktopFactory(const QString& Key, QObject* Object) {
  if (!Object || !Object->isWidgetType()) return nullptr;
  auto* widget = static_cast<QWidget*>(Object);
  if (Key == QLatin1String("TDesktopForm"))
    return new QAccessibleWidget(widget, QAccessible::Window);
  if (Key == QLatin1String("TPieChart")) return new QAccessibleWidget(widget, QAccessible::Chart);
  if (Key == QLatin1String("TLinkLabel")) {
    return new TAccessibleLink(static_cast<TLinkLabel*>(widget));
  }
  return nullptr;
}

}  // namespace

void InstallDesktopAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(DesktopFactory);
    return true;
  }();
  (void)installed;
}
