#pragma once
// Controls keep their dialog-template identifiers, in the property "controlId" (or, in older
// dialogs, as object names "ctlNNNN"); notifications that carried the identifier on Windows
// carry this number.

class QObject;

namespace tavolin::ui {

/// The identifier in the property "controlId" or an object name "ctlNNNN"; 0 without either.
int ControlId(const QObject* control);

}  // namespace tavolin::ui
