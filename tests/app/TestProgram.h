#pragma once
// The program as CTavolinApp composes it (the main dialog wired to the store worker, the
// generation, the appointment book and the imports), without the start-up's windows: the
// widget tests drive the dialog and look at the files and the controllers behind it.

#include <QTimer>
#include <memory>

#include "app/AppointmentBook.h"
#include "app/CTavolinApp.h"
#include "app/CTavolinDlg.h"
#include "app/GenerationRunner.h"
#include "app/ImportCommands.h"
#include "app/StoreWorker.h"

namespace tavolin::test {

class TestProgram {
public:
    TestProgram(Context context, bool visible, CTavolinApp::Options options = {})
        : m_app(std::make_unique<CTavolinApp>(std::move(context), std::move(options))) {
        m_app->Compose(visible);
    }

    CTavolinDlg* operator->() const { return m_app->dialog(); }
    CTavolinDlg& operator*() const { return *m_app->dialog(); }
    CTavolinDlg* get() const { return m_app ? m_app->dialog() : nullptr; }
    explicit operator bool() const { return m_app != nullptr; }
    /// The program ends: controllers, dialog and worker go, in the program's order.
    void reset() { m_app.reset(); }

    CTavolinApp& app() const { return *m_app; }
    StoreWorker& store() const { return *m_app->storeWorker(); }
    GenerationRunner& generation() const { return *m_app->generation(); }
    AppointmentBook& book() const { return *m_app->appointmentBook(); }
    ImportCommands& imports() const { return *m_app->imports(); }
    QTimer* reminderTimer() const { return &m_app->appointmentBook()->reminderTimer(); }

private:
    std::unique_ptr<CTavolinApp> m_app;
};

}  // namespace tavolin::test
