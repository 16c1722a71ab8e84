#pragma once
// Fastens a push button into the border of a line edit so the two look like one control:
// the edit's text stops short of the button, and the button is kept inside the edit's frame
// at the left or right end, also when the edit is moved or resized. Clicks on the button
// reach the button. The attachment ends with either widget; attaching again replaces it.

class QLineEdit;
class QWidget;

namespace tavolin::ui {

enum BuddySide : int { BuddyLeft = 1, BuddyRight = 2 };

/// 1 on success. 0 on failure with LastError() set: 13 (invalid data) for a side other than
/// 1 or 2, 1400 (invalid window handle) for a missing widget, 87 when both are one widget.
/// The button keeps the width it has now.
int AttachBuddyButton(QLineEdit* edit, QWidget* button, int side);

}  // namespace tavolin::ui
