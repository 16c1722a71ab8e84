#include "controls/MessageBox.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <cstdio>
#include <deque>

#include "controls/DialogRecorder.h"
#include "util/Cp1252.h"

namespace tavolin::ui {
namespace {

std::deque<MessageBox::Answer>& NextAnswers() {
    static std::deque<MessageBox::Answer> answers;
    return answers;
}

struct ButtonInfo {
    QMessageBox::StandardButton button;
    MessageBox::Answer answer;
};

std::vector<ButtonInfo> ButtonsOf(MessageBox::Buttons buttons) {
    using B = QMessageBox;
    using A = MessageBox;
    switch (buttons) {
        case MessageBox::Buttons::Ok:
            return {{B::Ok, A::Ok}};
        case MessageBox::Buttons::OkCancel:
            return {{B::Ok, A::Ok}, {B::Cancel, A::Cancel}};
        case MessageBox::Buttons::YesNo:
            return {{B::Yes, A::Yes}, {B::No, A::No}};
        case MessageBox::Buttons::YesNoCancel:
            return {{B::Yes, A::Yes}, {B::No, A::No}, {B::Cancel, A::Cancel}};
        case MessageBox::Buttons::RetryCancel:
            return {{B::Retry, A::Retry}, {B::Cancel, A::Cancel}};
        case MessageBox::Buttons::AbortRetryIgnore:
            return {{B::Abort, A::Abort}, {B::Retry, A::Retry}, {B::Ignore, A::Ignore}};
    }
    return {{B::Ok, A::Ok}};
}

QMessageBox::Icon QtIcon(MessageBox::Icon icon) {
    switch (icon) {
        case MessageBox::Icon::None:
            return QMessageBox::NoIcon;
        case MessageBox::Icon::Information:
            return QMessageBox::Information;
        case MessageBox::Icon::Warning:
            return QMessageBox::Warning;
        case MessageBox::Icon::Critical:
            return QMessageBox::Critical;
        case MessageBox::Icon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

MessageBox::Answer MessageBox::defaultAnswerOf(Buttons buttons, Answer defaultAnswer) {
    const auto list = ButtonsOf(buttons);
    for (const auto& b : list) {
        if (b.answer == defaultAnswer) return defaultAnswer;
    }
    return list.front().answer;
}

void MessageBox::setNextAnswer(Answer answer) {
    NextAnswers().push_back(answer);
}

MessageBox::Answer MessageBox::show(QWidget* parent, const QString& text, const QString& caption,
                                    Icon icon, Buttons buttons, Answer defaultAnswer) {
    Shown shown{text, caption, icon, buttons, NoAnswer};
    DialogRecorder* recorder = DialogRecorder::active();
    auto& queue = NextAnswers();
    if (!queue.empty()) {
        shown.answer = queue.front();
        queue.pop_front();
    } else if (recorder || QGuiApplication::platformName() == QLatin1String("offscreen")) {
        // Nobody could press a button here: take the default one.
        shown.answer = defaultAnswerOf(buttons, defaultAnswer);
        if (!recorder) {
            std::fprintf(stderr, "message box not shown (offscreen): %s: %s\n",
                         caption.toUtf8().constData(), text.toUtf8().constData());
        }
    } else {
        QMessageBox box(QtIcon(icon), caption, text, QMessageBox::NoButton, parent);
        const auto list = ButtonsOf(buttons);
        const Answer def = defaultAnswerOf(buttons, defaultAnswer);
        for (const auto& b : list) {
            QPushButton* button = box.addButton(b.button);
            if (b.answer == def) box.setDefaultButton(button);
        }
        box.exec();
        shown.answer = Cancel;
        bool hasCancel = false;
        for (const auto& b : list) {
            if (box.clickedButton() == box.button(b.button)) shown.answer = b.answer;
            hasCancel = hasCancel || b.answer == Cancel;
        }
        // Closing a box that has no Cancel button counts as its only (or first) button.
        if (!box.clickedButton() && !hasCancel) shown.answer = list.front().answer;
    }
    if (recorder) recorder->m_messages.push_back(shown);
    return shown.answer;
}

MessageBox::Answer MessageBox::showW1252(QWidget* parent, const std::string& text,
                                         const std::string& caption, Icon icon, Buttons buttons,
                                         Answer defaultAnswer) {
    return show(parent, QString::fromStdString(Cp1252ToUtf8(text)),
                QString::fromStdString(Cp1252ToUtf8(caption)), icon, buttons, defaultAnswer);
}

MessageBox::Icon MessageBox::iconOf(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Stop:
            return Icon::Critical;
        case MessageIcon::Warning:
            return Icon::Warning;
        case MessageIcon::Information:
            return Icon::Information;
    }
    return Icon::None;
}

UserMessageSink MessageBox::userMessageSink(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    return [owner](const UserMessage& m) {
        auto showIt = [owner, m] {
            showW1252(owner.data(), m.text, m.caption, iconOf(m.icon), Buttons::Ok);
        };
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return;
        if (QThread::currentThread() == app->thread()) {
            showIt();
        } else {
            QMetaObject::invokeMethod(app, showIt, Qt::BlockingQueuedConnection);
        }
    };
}

}  // namespace tavolin::ui
