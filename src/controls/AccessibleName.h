#pragma once
// Screen readers announce a control by its label: a control without an accessible name of its
// own takes the text of the label whose buddy it is ("Tagesfarbe:" -> "Tagesfarbe").

class QWidget;

namespace tavolin::ui {

/// Gives control the name of its buddy label unless it has one; returns whether it has a
/// name afterwards.
bool NameFromBuddyLabel(QWidget* control);

}  // namespace tavolin::ui
