#include "AppTestSupport.h"

#include <QFile>
#include <fstream>

namespace tavolin::test {

AppSandbox::AppSandbox() : m_now(LocalTime(2026, 12, 7, 10, 0)) {}

AppSandbox::~AppSandbox() = default;

Context AppSandbox::context() const {
    Context context;
    context.clock = [this] { return m_now.load(); };
    context.dataDirectory = File("");
    // The autostart entry goes to the sandbox's own "config/autostart", never the user's.
    const std::string home = File("").string();
    context.environment = TableEnvironment({{"XDG_CONFIG_HOME", File("config").string()},
                                            {"HOME", home}});
    context.autostart = MakeAutostartSwitch(context.environment);
    return context;
}

std::filesystem::path AppSandbox::File(const char* name) const {
    return std::filesystem::path(QFile::encodeName(m_dir.path()).toStdString()) / name;
}

QString AppSandbox::Path(const char* name) const {
    return m_dir.filePath(QString::fromUtf8(name));
}

QMap<QString, QString> AppSandbox::ReadConfig() const {
    QMap<QString, QString> keys;
    QFile file(Path("config.ini"));
    if (!file.open(QIODevice::ReadOnly)) return keys;
    QString section;
    for (QByteArray line : file.readAll().split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[') && line.endsWith(']')) {
            section = QString::fromLatin1(line.mid(1, line.size() - 2));
        } else if (const qsizetype eq = line.indexOf('='); eq > 0) {
            keys.insert(section + u'/' + QString::fromLatin1(line.left(eq)),
                        QString::fromLatin1(line.mid(eq + 1)));
        }
    }
    return keys;
}

void AppSandbox::WriteConfig(const std::string& text) const {
    std::ofstream(File("config.ini"), std::ios::binary) << text;
}

bool AppSandbox::Exists(const char* name) const {
    return QFile::exists(Path(name));
}

TimePoint LocalTime(int year, int month, int day, int hour, int minute) {
    return MakeLocal(year, month, day, hour, minute, 0);
}

}  // namespace tavolin::test
