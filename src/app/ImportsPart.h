#pragma once
// The main dialog's hooks for autostart (check box 1028) and the imports (menu "Term&ine").
// The dialog calls these; MakeImportsPart() decides what answers them.

#include <memory>

namespace tavolin {

class CTavolinDlg;

class ImportsPart {
public:
    virtual ~ImportsPart() = default;

    /// During the dialog's initialisation, after the menu exists: add menu items, connect.
    virtual void Initialise(CTavolinDlg& dialog) { (void)dialog; }

    /// Whether the Outlook import can run here; "&Outlook-Import" is grayed otherwise.
    virtual bool OutlookAvailable() const { return false; }

    /// Menu command 154.
    virtual void OutlookImport(CTavolinDlg& dialog) { (void)dialog; }

    /// Check box "A&utomatisch starten" changed to the given state.
    virtual void AutostartToggled(CTavolinDlg& dialog, bool checked) {
        (void)dialog;
        (void)checked;
    }
};

/// The part the program uses.
std::unique_ptr<ImportsPart> MakeImportsPart();

}  // namespace tavolin
