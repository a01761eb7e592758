#include "app/user_settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "engine/core/errors.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"

namespace qd {
namespace {

const QString kCells = QStringLiteral("LayoutLimits/Cells");
const QString kBytes = QStringLiteral("LayoutLimits/Bytes");

// A positive number stored under `key`, or `fallback`.
std::int64_t Positive(const QSettings& s, const QString& key, std::int64_t fallback) {
  bool ok = false;
  const qlonglong v = s.value(key).toLongLong(&ok);
  return ok && v > 0 ? v : fallback;
}

}  // namespace

std::string UserSettingsFile() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return (folder + QStringLiteral("/quarrydesk/settings.ini")).toStdString();
}

TLayoutLimits ReadLayoutLimits(const std::string& file) {
  const QSettings s(QString::fromStdString(file), QSettings::IniFormat);
  const TLayoutLimits defaults;
  return {Positive(s, kCells, defaults.Cells), Positive(s, kBytes, defaults.Bytes)};
}

void WriteLayoutLimits(const std::string& file, const TLayoutLimits& limits) {
  const QString path = QString::fromStdString(file);
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSettings s(path, QSettings::IniFormat);
  s.setValue(kCells, static_cast<qlonglong>(limits.Cells));
  s.setValue(kBytes, static_cast<qlonglong>(limits.Bytes));
  s.sync();
  if (s.status() != QSettings::NoError)
    throw EGenericError(Format(Msg(TMsg::SSettingsNotKept), file));
}

}  // namespace qd
