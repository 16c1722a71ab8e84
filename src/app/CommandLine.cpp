#include "app/CommandLine.h"

namespace tavolin {

AutomationSwitch FindAutomationSwitch(const QStringList& arguments) {
    for (const QString& arg : arguments) {
        if (arg.size() < 2 || (arg[0] != u'/' && arg[0] != u'-')) continue;
        const QString name = arg.mid(1);
        auto is = [&name](const char* word) {
            return name.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
        };
        if (is("Embedding") || is("Automation")) return AutomationSwitch::Embedding;
        if (is("Regserver") || is("Register")) return AutomationSwitch::Register;
        if (is("Unregserver") || is("Unregister")) return AutomationSwitch::Unregister;
    }
    return AutomationSwitch::None;
}

QString CommandText(const QString& commandLine) {
    QString text = commandLine.trimmed();
    if (!text.isEmpty()) {
        const qsizetype quote = text.indexOf(u'"', 1);
        if (quote >= 0) text = text.mid(quote + 1);
    }
    text.remove(u'"');
    return text.trimmed();
}

QString CommandTextOfArguments(const QStringList& arguments) {
    return CommandText(arguments.join(u' '));
}

StartKind ClassifyCommandText(const QString& commandText) {
    if (commandText == QLatin1String("/go")) return StartKind::Silent;
    if (commandText == QLatin1String("/?")) return StartKind::Info;
    return StartKind::Normal;
}

bool WantsUsage(const QStringList& arguments) {
    for (const QString& arg : arguments) {
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) return true;
    }
    return false;
}

QString UsageText() {
    return QStringLiteral(
        "Usage: tavolin [/go | /? | -Embedding | -Regserver | -Unregserver | --help]\n"
        "\n"
        "Tavolin paints a calendar with your appointments onto the desktop wallpaper.\n"
        "\n"
        "  (nothing)     open the settings window\n"
        "  /go           paint the wallpaper at once, then wait in the notification area\n"
        "                (what the autostart entry runs); needs config.ini\n"
        "  /?            show only the information window\n"
        "  -Embedding    also serve the automation object org.tavolin.Application on the\n"
        "                session bus (-Automation is the same)\n"
        "  -Regserver    write the D-Bus activation file of the automation object, then\n"
        "                end (-Register is the same)\n"
        "  -Unregserver  remove that file, then end (-Unregister is the same)\n"
        "  -h, --help    print this text and end\n"
        "\n"
        "Switches may start with / or -; /go and /? are written exactly so.\n"
        "The files (config.ini, Termine.dat, Background.bmp) live in the directory\n"
        "TAVOLIN_DIR names, else beside the program when that is writable, else in a\n"
        "per-user directory. Without a desktop use tavolin-cli (tavolin-cli --help).\n");
}

}  // namespace tavolin
