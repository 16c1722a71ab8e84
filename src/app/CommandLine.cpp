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

}  // namespace tavolin
