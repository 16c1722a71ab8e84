#include "app/ActivationFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/AutomationServer.h"
#include "util/FileIO.h"

namespace tavolin {

QString ActivationFile::Path() {
    QString base = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    if (!base.startsWith(u'/')) base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/dbus-1/services/") + AutomationServer::kServiceName +
           QStringLiteral(".service");
}

QByteArray ActivationFile::Contents(const QString& programPath) {
    // The bus splits Exec like a shell; quote a path with blanks or quotes.
    QString exec = programPath;
    if (exec.contains(u' ') || exec.contains(u'"') || exec.contains(u'\'') ||
        exec.contains(u'\\')) {
        exec.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
        exec = u'"' + exec + u'"';
    }
    return "[D-BUS Service]\nName=" + AutomationServer::kServiceName.toUtf8() +
           "\nExec=" + QFile::encodeName(exec) + " -Embedding\n";
}

bool ActivationFile::Write(const QString& programPath) {
    const QString path = Path();
    const QByteArray contents = Contents(programPath);
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == contents) return true;
    existing.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    return AtomicWriteFile(std::filesystem::path(QFile::encodeName(path).toStdString()),
                           std::string_view(contents.constData(), size_t(contents.size())));
}

bool ActivationFile::Remove() {
    QFile file(Path());
    return !file.exists() || file.remove();
}

}  // namespace tavolin
