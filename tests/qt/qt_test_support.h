#pragma once
// Catches the modal boxes and menus a test provokes: records what they show,
// then closes them the way a user would.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <vector>

namespace quilmarr::test {

struct SeenBox {
  QString text;
  QString caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;
  QString defaultButton;
  bool modal = false;
  QWidget* parent = nullptr;
};

class ModalCatcher final : public QObject {
 public:
  ModalCatcher() {
    connect(&poll_, &QTimer::timeout, this, [this] { Poll(); });
    poll_.start(5);
  }
  std::vector<SeenBox> boxes;
  std::vector<QStringList> menus;             // the item texts of each menu seen
  QString menuChoice;                         // the item triggered, when enabled; empty: the first
  int menuChoices = 0;                        // the items triggered
  std::function<void(const SeenBox&)> onBox;  // runs as each box is seen, before it is closed
  // Answers a box that asks Yes or No; unset: Yes.
  std::function<void(QMessageBox&)> answer;

 private:
  void Poll() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (!widget->isVisible()) {
        continue;
      }
      if (auto* box = qobject_cast<QMessageBox*>(widget)) {
        SeenBox seen{box->text(), box->windowTitle(), box->icon(), {}, {}, box->isModal()};
        for (QAbstractButton* button : box->buttons()) {
          seen.buttons << button->text();
        }
        seen.parent = box->parentWidget();
        if (box->defaultButton() != nullptr) seen.defaultButton = box->defaultButton()->text();
        boxes.push_back(seen);
        if (onBox) onBox(seen);
        if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
          answer ? answer(*box) : yes->click();
        } else if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
          ok->click();
        } else {
          box->done(0);
        }
      } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
        QStringList texts;
        for (QAction* action : menu->actions()) {
          texts << action->text();
        }
        menus.push_back(texts);
        // Queued, so that a box the action opens is caught by the next poll.
        for (QAction* action : menu->actions()) {
          if ((menuChoice.isEmpty() || action->text() == menuChoice) && action->isEnabled()) {
            QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
            ++menuChoices;
            break;
          }
        }
        QMetaObject::invokeMethod(menu, &QMenu::close, Qt::QueuedConnection);
      }
    }
  }

  QTimer poll_;
};

}  // namespace quilmarr::test
