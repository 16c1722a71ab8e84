#include "app/ActivationFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <string>

#include "app/AutomationServer.h"
#include "platform/linux/DesktopEntry.h"
#include "util/FileIO.h"
#include "util/Utf8.h"

namespace tavolin {

QString ActivationFile::Path(const EnvironmentLookup& env) {
    auto variable = [&env](const char* name) {
        const auto value = env ? env(name) : std::nullopt;
        return value ? QFile::decodeName(QByteArray::fromStdString(*value)) : QString();
    };
    QString base = variable("XDG_DATA_HOME");
    if (!base.startsWith(u'/')) {
        QString home = variable("HOME");
        if (!home.startsWith(u'/')) home = QDir::homePath();
        base = home + QStringLiteral("/.local/share");
    }
    return base + QStringLiteral("/dbus-1/services/") + AutomationServer::kServiceName +
           QStringLiteral(".service");
}

namespace {

// Bytes the bus reads as written: UTF-8 without control characters.
bool SafeForExec(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) return false;
        char32_t cp = 0;
        const size_t length = DecodeUtf8(text, i, cp);
        if (length == 0 || (cp >= 0x80 && cp < 0xA0)) return false;
        i += length;
    }
    return !text.empty();
}

// One word of the Exec line. The bus splits Exec with shell rules: inside single quotes every
// character is itself, and a single quote is closed, escaped and reopened.
std::string ShellQuote(std::string_view word) {
    std::string out = "'";
    for (const char c : word) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    out += '\'';
    return out;
}

}  // namespace

std::optional<std::string> ActivationFile::Contents(
    const std::string& programPath, const std::optional<std::string>& dataDirectory) {
    if (!SafeForExec(programPath)) return std::nullopt;
    std::string exec;
    if (dataDirectory && !dataDirectory->empty()) {
        if (!SafeForExec(*dataDirectory)) return std::nullopt;
        exec = "/usr/bin/env " + ShellQuote("TAVOLIN_DIR=" + *dataDirectory) + ' ';
    }
    exec += ShellQuote(programPath) + " -Embedding";
    // The service file itself is a key file whose values take backslash escapes.
    return "[D-BUS Service]\nName=" + AutomationServer::kServiceName.toStdString() +
           "\nExec=" + EscapeDesktopString(exec) + "\n";
}

bool ActivationFile::Write(const EnvironmentLookup& env, const std::string& programPath,
                           const std::optional<std::string>& dataDirectory, QString* error) {
    const auto contents = Contents(programPath, dataDirectory);
    if (!contents) {
        if (error) {
            *error = QStringLiteral(
                "the program's path (or TAVOLIN_DIR) holds control characters or is not "
                "UTF-8; the bus could not start it safely");
        }
        return false;
    }
    const QString path = Path(env);
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) &&
        existing.readAll() == QByteArray::fromStdString(*contents)) {
        return true;
    }
    existing.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) ||
        !AtomicWriteFile(std::filesystem::path(QFile::encodeName(path).toStdString()),
                         *contents)) {
        if (error) *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

bool ActivationFile::Remove(const EnvironmentLookup& env) {
    QFile file(Path(env));
    return !file.exists() || file.remove();
}

}  // namespace tavolin
