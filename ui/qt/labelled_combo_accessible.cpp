#include "ui/qt/labelled_combo_accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QVariant>

namespace quilmarr {
namespace {

constexpr char kKeepNameProperty[] = "quilmarrKeepsAccessibleName";

class LabelledComboAccessible final : public QAccessibleWidget {
 public:
  explicit LabelledComboAccessible(QComboBox* combo)
      : QAccessibleWidget(combo, QAccessible::ComboBox) {}

  [[nodiscard]] QString text(QAccessible::Text t) const override {
    const auto* combo = static_cast<const QComboBox*>(widget());
    if (t == QAccessible::Name) return combo->accessibleName();
    if (t == QAccessible::Value) return combo->currentText();
    return QAccessibleWidget::text(t);
  }
  [[nodiscard]] QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = static_cast<const QComboBox*>(widget())->isEditable();
    return state;
  }
};

QAccessibleInterface* LabelledComboFactory(const QString& className, QObject* object) {
  if (className != QLatin1String("QComboBox") || object == nullptr ||
      !object->property(kKeepNameProperty).toBool()) {
    return nullptr;
  }
  return new LabelledComboAccessible(static_cast<QComboBox*>(object));
}

}  // namespace

void KeepAccessibleName(QComboBox& combo) {
  static const bool installed = [] {
    QAccessible::installFactory(&LabelledComboFactory);
    return true;
  }();
  static_cast<void>(installed);
  combo.setProperty(kKeepNameProperty, true);
}

}  // namespace quilmarr
