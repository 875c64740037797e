// The program's shell: one application object, the main dialog run modally
// and destroyed (its snapshot puts the [UDP] values back), then the end.
#include <QApplication>
#include <memory>

#include "app/about_dlg.h"
#include "app/app_icon.h"
#include "discovery/pcap/pcap_interface_lister.h"
#include "discovery/pcap/pcap_packet_source.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "ui/qt/qt_batch_dialog.h"
#include "update/settings_file.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quilmarr"));
  QApplication::setApplicationVersion(QStringLiteral("1.0.1.0"));
  QApplication::setDesktopFileName(QStringLiteral("quilmarr"));
  QApplication::setWindowIcon(quilmarr::ApplicationIcon());

  const std::unique_ptr<quilmarr::AppDataFolderLocator> locator = quilmarr::MakePlatformFolderLocator();
  const std::unique_ptr<quilmarr::IniStore> ini = quilmarr::MakePlatformIniStore();
  quilmarr::SettingsFile settings(*locator, *ini);
  const quilmarr::SystemClock clock;
  const std::unique_ptr<quilmarr::ProcessLauncher> launcher = quilmarr::MakePlatformProcessLauncher();
  quilmarr::PcapInterfaceLister interfaces;

  {
    quilmarr::QtBatchDialog dialog(
        {interfaces, &quilmarr::MakePcapPacketSource, clock, settings, *launcher});
    dialog.setWindowIcon(quilmarr::ApplicationIcon());
    QObject::connect(&dialog, &quilmarr::QtBatchDialog::aboutRequested, &dialog, [&dialog] {
      quilmarr::CAboutDlg about(&dialog);
      about.exec();
    });
    dialog.exec();
  }
  return 0;
}
