#pragma once
// The appointment book's place in the main dialog: the list 1038, its buttons 1041-1043 and the
// reminder work of timer 105. The dialog calls these hooks; MakeAppointmentsPart() decides
// what answers them.

#include <memory>

class QTimer;

namespace tavolin {

class CTavolinDlg;

class AppointmentsPart {
public:
    virtual ~AppointmentsPart() = default;

    /// Last step of the dialog's initialisation: set up the list's columns, connect the
    /// buttons, fill the list (RefreshList).
    virtual void Initialise(CTavolinDlg& dialog) { (void)dialog; }

    /// Rebuild the list from Termine.dat after tidying it (the expiry mode changed).
    virtual void RefreshList() {}

    /// Timer 105 of the reminders, running only while "&Meldung anzeigen" is on; nullptr
    /// when there are none.
    virtual QTimer* ReminderTimer() { return nullptr; }

    /// "&Meldung anzeigen" is on or off (also at start, after Initialise, and off at the end).
    virtual void AlarmChanged(bool on) { (void)on; }
};

/// The part the program uses.
std::unique_ptr<AppointmentsPart> MakeAppointmentsPart();

}  // namespace tavolin
