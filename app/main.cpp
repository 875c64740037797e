// The program's shell: one application object, the main dialog run modally
// (SIGTERM and SIGHUP end it as a close does) and destroyed (its snapshot
// puts the [UDP] values back), then the end.
#include <QApplication>

#include "app/about_dlg.h"
#include "app/app_icon.h"
#include "quilmarr_version.h"
#include "app/qt_dialog_services.h"
#include "ui/qt/termination_signals.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quilmarr"));
  QApplication::setApplicationVersion(QString::fromUtf16(quilmarr::kProductVersion));
  QApplication::setDesktopFileName(QStringLiteral("quilmarr"));
  QApplication::setWindowIcon(quilmarr::ApplicationIcon());

  quilmarr::PlatformServices services;

  {
    quilmarr::QtBatchDialog dialog(quilmarr::QtServicesFor(services));
    dialog.setWindowIcon(quilmarr::ApplicationIcon());
    QObject::connect(&dialog, &quilmarr::QtBatchDialog::aboutRequested, &dialog, [&dialog] {
      quilmarr::CAboutDlg about(&dialog);
      about.exec();
    });
    // A stop from outside ends the window as a close would, after a running
    // batch's current updater: the report written and [UDP] put back.
    const quilmarr::TerminationSignals ends([&dialog] { dialog.RequestEnd(); });
    dialog.exec();
  }
  return 0;
}
