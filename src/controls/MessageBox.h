#pragma once
// Every message box of the program goes through here, so tests can answer boxes and see what
// would have been shown instead of blocking on a modal window.
//
// Test hooks:
//   MessageBox::setNextAnswer(MessageBox::Yes);   // the next box is answered Yes, not shown
//   DialogRecorder rec;                           // while alive: nothing modal is shown,
//   ... rec.messages().back().text ...            // every box is recorded; a box without a
//                                                 // queued answer gets its default button
// On the offscreen platform a box is never shown either (it could not be answered); it gets
// its default button and a warning on stderr.

#include <QString>
#include <string>

#include "platform/UserMessages.h"

class QWidget;

namespace tavolin::ui {

class MessageBox {
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
    // The Windows answer numbers (IDOK ... IDNO), so callers ported from there compare alike.
    enum Answer {
        NoAnswer = 0,
        Ok = 1,
        Cancel = 2,
        Abort = 3,
        Retry = 4,
        Ignore = 5,
        Yes = 6,
        No = 7
    };

    struct Shown {
        QString text;
        QString caption;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        Answer answer = NoAnswer;  // what the box was answered with
    };

    /// Shows a modal box and returns the button pressed. defaultAnswer picks the default
    /// button (NoAnswer: the first one). Closing the box with Escape or its close box answers
    /// Cancel where there is a Cancel button, otherwise the only button (Ok).
    static Answer show(QWidget* parent, const QString& text, const QString& caption,
                       Icon icon = Icon::None, Buttons buttons = Buttons::Ok,
                       Answer defaultAnswer = NoAnswer);

    /// The same for Windows-1252 texts (the core's and the stored German literals).
    static Answer showW1252(QWidget* parent, const std::string& text, const std::string& caption,
                            Icon icon = Icon::None, Buttons buttons = Buttons::Ok,
                            Answer defaultAnswer = NoAnswer);

    /// A sink for the core's user messages (a Context's userMessages) that shows them as boxes
    /// over parent; messages from other threads are shown on the user-interface thread.
    static UserMessageSink userMessageSink(QWidget* parent = nullptr);

    static Icon iconOf(MessageIcon icon);

    /// Test hook: the next box is not shown but answered with answer (a queue: call it once
    /// per box to answer several).
    static void setNextAnswer(Answer answer);

    /// The answer the box gives when nobody presses a button.
    static Answer defaultAnswerOf(Buttons buttons, Answer defaultAnswer);
};

}  // namespace tavolin::ui
