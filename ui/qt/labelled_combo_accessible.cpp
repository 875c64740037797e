#include "ui/qt/labelled_combo_accessible.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>
#include <QVariant>

namespace quilmarr {
namespace {

constexpr char kKeepNameProperty[] = "quilmarrKeepsAccessibleName";

// Qt's own combo box interface is private to Qt Widgets, so this one is built
// the way it is: child 0 is the drop-down list and child 1, for an editable
// box, its line edit. Both come from QAccessible::queryAccessibleInterface,
// i.e. Qt's own interfaces, so the list offers every adapter as an item and a
// screen reader can hear and pick one. Only the name and value differ.
class LabelledComboAccessible final : public QAccessibleWidget {
 public:
  explicit LabelledComboAccessible(QComboBox* combo)
      : QAccessibleWidget(combo, QAccessible::ComboBox) {}

  [[nodiscard]] QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return Combo()->accessibleName();
    if (t == QAccessible::Value) return Combo()->currentText();
    return QAccessibleWidget::text(t);
  }
  [[nodiscard]] QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = Combo()->isEditable();
    state.expandable = true;
    state.expanded = Combo()->view() != nullptr && Combo()->view()->isVisible();
    return state;
  }

  [[nodiscard]] int childCount() const override { return Combo()->isEditable() ? 2 : 1; }
  [[nodiscard]] QAccessibleInterface* child(int index) const override {
    if (index == 0) return QAccessible::queryAccessibleInterface(Combo()->view());
    if (index == 1 && Combo()->isEditable()) {
      return QAccessible::queryAccessibleInterface(Combo()->lineEdit());
    }
    return nullptr;
  }
  [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override {
    if (child == nullptr) return -1;
    if (child->object() == Combo()->view()) return 0;
    if (Combo()->isEditable() && child->object() == Combo()->lineEdit()) return 1;
    return -1;
  }
  // The line edit never has the focus itself (the box is its focus proxy),
  // but it is where typing goes.
  [[nodiscard]] QAccessibleInterface* focusChild() const override {
    return Combo()->isEditable() ? child(1) : nullptr;
  }

  [[nodiscard]] QStringList actionNames() const override {
    return {showMenuAction(), pressAction()};
  }
  void doAction(const QString& name) override {
    if (name == showMenuAction() || name == pressAction()) {
      if (Combo()->view() != nullptr && Combo()->view()->isVisible()) {
        Combo()->hidePopup();
      } else {
        Combo()->showPopup();
      }
    }
  }

 private:
  [[nodiscard]] QComboBox* Combo() const { return static_cast<QComboBox*>(widget()); }
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
