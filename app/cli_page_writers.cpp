// The PDF and SVG writers of quarrydesk-cli, which paint through Qt: linked
// into the program when Qt is found, they install themselves at start. Qt runs
// on its offscreen platform, so no display is needed.
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "app/export_commands.h"
#include "view/paint_device.h"

// Fontconfig keeps its caches until the process ends; a sanitized build
// would report them as leaks at exit. Nothing of ours is suppressed.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace qd {

namespace {

// Qt's own notes (a missing runtime folder, font substitutions) are not the
// program's messages: stderr carries only ours.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtFatalMsg) std::fputs(qPrintable(text + QLatin1Char('\n')), stderr);
}

void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  qInstallMessageHandler(QuietQtMessages);
  if (!std::getenv("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "quarrydesk-cli";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
}

std::unique_ptr<TVantraGridExport> MakePageWriter(const std::string& format,
                                                  const TPaperOptions& paper) {
  EnsureGuiApplication();
  if (format == "svg") return std::make_unique<TVantraGridExportToSVG>();
  auto pdf = std::make_unique<TVantraGridExportToPDF>();
  pdf->Paper = paper;
  return pdf;
}

const bool kInstalled = (SetPageWriterFactory(MakePageWriter), true);

}  // namespace

}  // namespace qd
