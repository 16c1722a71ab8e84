#pragma once
// Test helper: while a DialogRecorder lives, no message box, file dialog or colour dialog is
// shown. Each is answered from the queues of setNextAnswer/setNextFileName/setNextColour, or
// else with its default (the default button; Cancel for the file and colour dialogs), and
// recorded here. Recorders nest; the innermost one records. User-interface thread only.

#include <vector>

#include "controls/ColourDialog.h"
#include "controls/FileDialog.h"
#include "controls/MessageBox.h"

namespace tavolin::ui {

class DialogRecorder {
public:
    DialogRecorder();
    ~DialogRecorder();
    DialogRecorder(const DialogRecorder&) = delete;
    DialogRecorder& operator=(const DialogRecorder&) = delete;

    const std::vector<MessageBox::Shown>& messages() const { return m_messages; }
    const std::vector<FileDialog::Request>& fileDialogs() const { return m_files; }
    const std::vector<ColourDialog::Request>& colourDialogs() const { return m_colours; }
    void clear();

    /// The innermost live recorder, or nullptr.
    static DialogRecorder* active();

private:
    friend class MessageBox;
    friend class FileDialog;
    friend class ColourDialog;

    std::vector<MessageBox::Shown> m_messages;
    std::vector<FileDialog::Request> m_files;
    std::vector<ColourDialog::Request> m_colours;
    DialogRecorder* m_outer = nullptr;
};

}  // namespace tavolin::ui
