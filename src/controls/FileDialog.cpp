#include "controls/FileDialog.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QStringList>
#include <deque>

#include "controls/DialogRecorder.h"

namespace tavolin::ui {
namespace {

std::deque<QString>& NextFileNames() {
    static std::deque<QString> names;
    return names;
}

}  // namespace

void FileDialog::setNextFileName(const QString& fileName) {
    NextFileNames().push_back(fileName);
}

QString FileDialog::qtFilter(const QString& windowsFilter) {
    const QStringList parts = windowsFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns) p = p.trimmed();
        patterns.removeAll(QString());
        if (patterns.isEmpty()) continue;
        // The description may already show the patterns; the dialog hides the appended list.
        filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

QString FileDialog::getOpenFileName(QWidget* parent, const QString& caption,
                                    const QString& directory, const QString& filter) {
    Request request{caption, directory, filter, QString()};
    DialogRecorder* recorder = DialogRecorder::active();
    auto& queue = NextFileNames();
    if (!queue.empty()) {
        request.result = queue.front();
        queue.pop_front();
    } else if (!recorder && QGuiApplication::platformName() != QLatin1String("offscreen")) {
        request.result = QFileDialog::getOpenFileName(parent, caption, directory, qtFilter(filter),
                                                      nullptr, QFileDialog::HideNameFilterDetails);
    }
    if (recorder) recorder->m_files.push_back(request);
    return request.result;
}

}  // namespace tavolin::ui
