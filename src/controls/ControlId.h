#pragma once
// Controls keep their dialog-template identifiers as object names ("ctl1008"); notifications
// that carried the identifier on Windows carry this number.

class QObject;

namespace tavolin::ui {

/// The identifier in an object name "ctlNNNN", or 0 when the name has no such form.
int ControlId(const QObject* control);

}  // namespace tavolin::ui
