#pragma once
// The file-open dialog of the program, with a test hook.
//
// Test hooks: FileDialog::setNextFileName("/tmp/a.jpg") answers the next dialog with that
// file (an empty name answers Cancel) without showing it; while a DialogRecorder lives no
// dialog is shown at all (an unanswered one is cancelled) and every request is recorded.

#include <QString>

class QWidget;

namespace tavolin::ui {

class FileDialog {
public:
    struct Request {
        QString caption;
        QString directory;
        QString filter;  // as given (Windows form)
        QString result;  // the file answered; empty for Cancel
    };

    /// Asks for one existing file. filter is in the Windows form
    /// "Description|*.a;*.b|Description|*.c||". Returns the absolute path, or an empty
    /// string when the user cancelled.
    static QString getOpenFileName(QWidget* parent, const QString& caption,
                                   const QString& directory, const QString& filter);

    /// The Windows filter as a Qt name-filter list ("Description (*.a *.b);;..."). Blanks
    /// around descriptions are dropped; a pair without patterns is skipped.
    static QString qtFilter(const QString& windowsFilter);

    /// Test hook: the next dialog answers fileName (empty: Cancel). A queue.
    static void setNextFileName(const QString& fileName);
};

}  // namespace tavolin::ui
