#include "ui/qt/input_blocker.h"

#include <QCoreApplication>
#include <QEvent>

namespace quilmarr {
namespace {

bool IsUserInput(QEvent::Type type) noexcept {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease: return true;
    default: return false;
  }
}

}  // namespace

InputBlocker::InputBlocker(QWidget& window) : window_(window) {
  QCoreApplication::instance()->installEventFilter(this);
}

InputBlocker::~InputBlocker() { QCoreApplication::instance()->removeEventFilter(this); }

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
  if (!IsUserInput(event->type()) || !watched->isWidgetType()) return false;
  const auto* widget = static_cast<const QWidget*>(watched);
  return widget == &window_ || window_.isAncestorOf(widget);
}

}  // namespace quilmarr
