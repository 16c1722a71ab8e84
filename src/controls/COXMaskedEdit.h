#pragma once
// A single-line edit that only accepts text matching a mask ("##:##" for the appointment
// time). Literal mask characters are shown and skipped by the caret; each input position
// takes only its kind of character, an empty one shows the prompt character. The control
// also carries the rules of the appointment dialog's quarter-hour time field: digit limits
// per position while typing, an hours/minutes plausibility check of each keystroke, and a
// quarter-hour check when the field loses the focus.
//
// Without a mask the control is a plain QLineEdit.
//
// Refused keystrokes play the exclamation sound and time-rule violations the simple beep,
// both through Sound (tests count them with a SoundRecorder).

#include <QLineEdit>
#include <QString>
#include <vector>

#include "controls/CMaskData.h"

namespace tavolin::ui {

/// Handed to validateInput() when the field loses the focus; receivers may change it.
struct MaskedEditValidation {
    static constexpr int kCode = 0x8136;
    int valid = 1;                 // 0: the input is refused and the field keeps the focus
    int runDefaultValidation = 1;  // nonzero: CheckInput() is consulted as well
    int errorPosition = 0;         // input position (0 = first) the caret goes to on refusal
};

class COXMaskedEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit COXMaskedEdit(QWidget* parent = nullptr);
    explicit COXMaskedEdit(const QString& mask, QWidget* parent = nullptr);
    ~COXMaskedEdit() override;

    /// Replaces the mask; input positions start with the prompt character and the caret
    /// goes to the first input position. An empty mask makes a plain edit.
    void ApplyMask(const QString& mask);
    QString Mask() const { return m_maskText; }

    /// Changes the prompt character; positions showing the old prompt show the new one.
    /// 0, LF, CR and 127 are refused (the display is only redrawn).
    void ChangePrompt(QChar prompt);
    QChar Prompt() const { return m_prompt; }

    /// The characters of the input positions, prompts included.
    QString InputText() const;
    /// True when every input position holds the prompt (without a mask: the text is empty).
    bool HasNoInput() const;

    /// Keeps the first keep input characters, then pours text into the input positions in
    /// order. Without raw, prompt characters in text are dropped first. A character that a
    /// position does not take is skipped; positions left over get the prompt. False when a
    /// character was skipped.
    bool FillInput(const QString& text, int keep = 0, bool raw = false);

    bool InsertMode() const { return m_insertMode; }
    void SetInsertMode(bool on) { m_insertMode = on; }

    /// When on, filling the last input position moves the focus to the next control.
    void SetAutoAdvance(bool on) { m_autoAdvance = on; }
    bool AutoAdvance() const { return m_autoAdvance; }

    /// Text from outside: the mask's literals standing at their places are dropped and the
    /// rest fills the input positions. Hides QLineEdit::setText; call it on this class.
    void setText(const QString& text);

    /// The displayed text (literals and prompts included).
    QString DisplayText() const;

    /// True when the display is a time of day the field may hold: with the mask "##:##",
    /// hours below 24 and minutes below 60. Other masks are always plausible. Every change
    /// by the user is checked whole with it (an insert shifts digits into new places).
    bool IsPlausible() const;
    static bool IsPlausibleTime(const QString& display);

    const std::vector<CMaskData>& MaskData() const { return m_mask; }

    /// The hook for a refused keystroke: the exclamation sound.
    virtual void RejectInput();
    /// The hook consulted when the field loses the focus; true accepts.
    virtual bool CheckInput();

    // The editing commands, also reached through their shortcuts and the context menu.
    void cutMasked();
    void clearMasked();
    void pasteMasked();

signals:
    /// The control is about to show text it rewrote itself (the edit's update notification).
    void editUpdate();
    /// The control changed its text itself (not sent while text is set from outside).
    void editChange();
    /// Sent first when the field loses the focus; see MaskedEditValidation.
    void validateInput(tavolin::ui::MaskedEditValidation* validation, int controlId);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    bool HasMask() const { return !m_mask.empty(); }
    int Count() const { return static_cast<int>(m_mask.size()); }
    bool IsInput(int pos) const { return pos >= 0 && pos < Count() && m_mask[pos].IsInputData(); }
    int NextInput(int pos) const;      // at or after pos; Count() when none
    int PreviousInput(int pos) const;  // before pos; -1 when none
    int InputIndexOf(int pos) const;   // pos's number among the input positions
    std::vector<int> InputPositions() const;

    void ReadLocaleSeparators();
    void Rewrite(int caret);
    void PlaceCaret(int pos);
    void HandleCharacter(QChar ch);
    bool InsertCharacter(int pos, QChar ch);
    bool TimeRulesAllow(int pos, QChar ch, const QString& display);
    // Removes the input characters of [start, end) and shifts the rest left; returns how
    // many were removed.
    int RemoveRange(int start, int end);
    void DeleteKey();
    void Backspace();
    void RunFocusLossChecks();
    // Keeps a change when the whole field is still plausible; otherwise puts before back,
    // beeps and returns false.
    bool KeepIfPlausible(const std::vector<CMaskData>& before, int caret);

    std::vector<CMaskData> m_mask;
    QString m_maskText;
    bool m_insertMode = true;
    QChar m_prompt = QLatin1Char(' ');
    QChar m_decimal = QLatin1Char('.');
    QChar m_thousands = QLatin1Char(',');
    QChar m_time = QLatin1Char(':');
    QChar m_date = QLatin1Char('/');
    bool m_autoAdvance = false;
    int m_updating = 0;
    bool m_notifyChange = true;
};

}  // namespace tavolin::ui
