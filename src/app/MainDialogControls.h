#pragma once
// The main window's controls as data: what each one is, where it sits, what it says, which
// setting it shows and what F1 tells about it. The window builds, loads, stores and explains
// its controls by walking this table; only behaviour beyond that is code.

#include <span>

#include "settings/Settings.h"

namespace tavolin {

enum class ControlKind {
    Picture,
    Check,
    Label,
    Picker,
    Radio,
    Edit,
    Button,
    Group,
    Combo,
    List,
    Line
};

/// How a check box reads its switch: most are on at an atoi value of 1; the background kind is
/// on only when the text is exactly "1".
enum class SwitchRead { AtoiOne, ExactOne };

/// A source text with its translators' disambiguation, as QT_TRANSLATE_NOOP3 gives it.
struct TrText {
    const char* source;
    const char* comment;
};

struct ControlEntry {
    int id;            // the template's identifier; 0 for unnamed labels and group boxes
    const char* name;  // the object name
    ControlKind kind;
    const char* text;              // German source text with its mnemonic, for tr(); may be null
    int left, top, width, height;  // dialog units
    // Labels may run on up to this x (dialog units) when their text does not fit; 0: never.
    int room = 0;
    int buddy = 0;                         // labels: the id of the control they name
    const char* accessibleName = nullptr;  // German source, for controls whose text is none
    const SettingKey* setting = nullptr;   // the key the control shows and writes
    const ColourKeys* colour = nullptr;    // colour pickers: their three keys
    int value = 0;                         // radio buttons: the setting's value they stand for
    SwitchRead read = SwitchRead::AtoiOne;
    const char* helpTitle = nullptr;  // F1 balloon; controls without a title show none
    const char* helpText = nullptr;
    // Tells the text apart from the same German words elsewhere that translate differently.
    const char* textComment = nullptr;
};

/// Every control of the main window in creation (and tab) order.
std::span<const ControlEntry> MainDialogControls();

/// The entry with the given id, or nullptr (also for 0).
const ControlEntry* FindMainDialogControl(int id);

/// The translation context of the table's texts (the window's own).
inline constexpr const char* kMainDialogContext = "tavolin::CTavolinDlg";

/// The window's property that keeps a control's template identifier.
inline constexpr const char* kControlIdProperty = "controlId";

/// The property that keeps a menu command's id.
inline constexpr const char* kCommandIdProperty = "commandId";

/// The menu bar's commands, in menu order.
struct MenuCommandEntry {
    int id;
    const char* name;  // the action's object name
    const char* menu;  // German source of the menu it belongs to
    const char* text;  // German source with mnemonic
    bool separatorBefore = false;
};

std::span<const MenuCommandEntry> MainMenuCommands();

}  // namespace tavolin
