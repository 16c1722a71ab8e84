#pragma once
// How the outcome of a wallpaper generation reaches the person. A run somebody asked for at
// that moment ("Erstellen") shows its messages as boxes, one after another; a run nobody asked
// for (the silent start, the day change) must not leave a box waiting at the login or overnight:
// its messages go to ErrorLog.dat and to a notice that does not wait (a tray balloon or a
// desktop notification). A failure without a message of its own (only logged) is told through
// the same notice either way.

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

#include "app/GenerationRunner.h"
#include "platform/Context.h"

namespace tavolin {

class GenerationPresenter : public QObject {
    Q_OBJECT

public:
    /// One box; returns when it was closed (it may run an event loop meanwhile).
    using Box = std::function<void(const UserMessage& message)>;
    /// A notice that does not wait for an answer: caption and text, UTF-8.
    using Notice = std::function<void(const QString& caption, const QString& text)>;

    /// context: the data directory of ErrorLog.dat and the clock of its lines.
    GenerationPresenter(Context context, Box box, Notice notice, QObject* parent = nullptr);

    /// Shows one run's outcome. The result is this call's own: another run finishing while a
    /// box is open is shown after it, from its own value.
    void Present(GenerationResult result, GenerationOrigin origin);

    /// The texts of the notice for a result (empty when there is nothing to tell without a box).
    static QString FailureText(const GenerationResult& result);

private:
    Context m_context;
    Box m_box;
    Notice m_notice;
};

}  // namespace tavolin
