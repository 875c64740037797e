// The program's shell: one application object, the main dialog run modally
// and destroyed (its snapshot puts the [UDP] values back), then the end.
#include <QApplication>

#include "app/about_dlg.h"
#include "app/app_icon.h"
#include "quilmarr_version.h"
#include "app/qt_dialog_services.h"

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
    dialog.exec();
  }
  return 0;
}
