#include "app/GenerationPresenter.h"

#include <QCoreApplication>

#include "render/ErrorLog.h"
#include "util/Cp1252.h"

namespace tavolin {
namespace {

QString FromW1252(const std::string& text) {
    return QString::fromStdString(Cp1252ToUtf8(text));
}

}  // namespace

GenerationPresenter::GenerationPresenter(Context context, Box box, Notice notice, QObject* parent)
    : QObject(parent), m_context(std::move(context)), m_box(std::move(box)),
      m_notice(std::move(notice)) {}

QString GenerationPresenter::FailureText(const GenerationResult& result) {
    QStringList lines;
    if (result.status == GenerationStatus::Failed && result.messages.empty()) {
        // Only logged: the log's lines say why ("Das Hintergrundbild wurde nicht gefunden.").
        for (const std::string& line : result.logLines) {
            // "DD.MM.YYYY - HH:MM:SS - text": the text is what matters here.
            const size_t cut = line.find(" - ", line.find(" - ") + 3);
            lines << FromW1252(cut == std::string::npos ? line : line.substr(cut + 3));
        }
        if (lines.isEmpty() && !result.detail.empty()) {
            lines << QString::fromStdString(result.detail);
        }
        if (lines.isEmpty()) {
            lines << QCoreApplication::translate("tavolin::GenerationPresenter",
                                                 "Das Hintergrundbild wurde nicht erstellt.");
        }
    } else if (result.Written() && result.wallpaper.status == WallpaperStatus::Failed &&
               !result.wallpaper.detail.empty()) {
        // Painted, but the desktop did not take it: the reason it gave (English), beside the
        // message of the box.
        lines << QString::fromStdString(result.wallpaper.detail);
    }
    return lines.join(u'\n');
}

void GenerationPresenter::Present(GenerationResult result, GenerationOrigin origin) {
    const QString failure = FailureText(result);
    if (origin == GenerationOrigin::Unattended) {
        // Nobody is waiting for an answer: the log keeps every message, one notice tells.
        QStringList texts;
        for (const UserMessage& message : result.messages) {
            (void)AppendLogLine(m_context.DataFile("ErrorLog.dat"), message.text,
                                m_context.Now());
            texts << FromW1252(message.text);
        }
        if (!failure.isEmpty()) texts << failure;
        if (!texts.isEmpty() && m_notice) {
            m_notice(QCoreApplication::translate("tavolin::GenerationPresenter", "Tavolin"),
                     texts.join(u'\n'));
        }
        return;
    }
    if (!failure.isEmpty() && m_notice) {
        m_notice(QCoreApplication::translate("tavolin::GenerationPresenter", "Fehler"), failure);
    }
    // result is this call's own: whatever happens inside a box, these messages stay.
    const std::vector<UserMessage> messages = std::move(result.messages);
    for (const UserMessage& message : messages) {
        if (m_box) m_box(message);
    }
}

}  // namespace tavolin
