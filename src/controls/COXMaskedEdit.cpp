#include "controls/COXMaskedEdit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QRegularExpression>
#include <memory>

#include "controls/AccessibleName.h"
#include "controls/ControlId.h"
#include "controls/Sound.h"

namespace tavolin::ui {
namespace {

// The separator between two fields of a locale's time or date format ("HH:mm" -> ':').
QChar SeparatorOf(const QString& format, QChar fallback) {
    bool inQuote = false;
    bool seenField = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\'')) {
            inQuote = !inQuote;
            continue;
        }
        if (inQuote) continue;
        if (c.isLetter()) {
            seenField = true;
        } else if (seenField) {
            return c;
        }
    }
    return fallback;
}

QChar FirstOf(const QString& text, QChar fallback) {
    return text.isEmpty() ? fallback : text[0];
}

// The number in the display text from position from, at most two characters, read as atoi
// does (leading digits only).
int TwoDigitNumber(const QString& text, int from) {
    int value = 0;
    for (int i = from; i < from + 2 && i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) break;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

// Longest paste taken from the clipboard; a single-line field never needs more.
constexpr int kMaxPaste = 4096;

}  // namespace

COXMaskedEdit::COXMaskedEdit(QWidget* parent) : COXMaskedEdit(QString(), parent) {}

COXMaskedEdit::COXMaskedEdit(const QString& mask, QWidget* parent) : QLineEdit(parent) {
    // Dropped text would bypass the mask.
    setAcceptDrops(false);
    setDragEnabled(false);
    ReadLocaleSeparators();
    ApplyMask(mask);
}

COXMaskedEdit::~COXMaskedEdit() = default;

void COXMaskedEdit::ReadLocaleSeparators() {
    const QLocale locale;
    m_decimal = FirstOf(locale.decimalPoint(), m_decimal);
    m_thousands = FirstOf(locale.groupSeparator(), m_thousands);
    m_time = SeparatorOf(locale.timeFormat(QLocale::ShortFormat), m_time);
    m_date = SeparatorOf(locale.dateFormat(QLocale::ShortFormat), m_date);
}

void COXMaskedEdit::ApplyMask(const QString& mask) {
    m_maskText = mask;
    m_mask.clear();
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar c = mask[i];
        switch (c.unicode()) {
            case '.':
                m_mask.emplace_back(CMaskData::DecimalSeparator, m_decimal);
                break;
            case ',':
                m_mask.emplace_back(CMaskData::ThousandsSeparator, m_thousands);
                break;
            case ':':
                m_mask.emplace_back(CMaskData::TimeSeparator, m_time);
                break;
            case '/':
                m_mask.emplace_back(CMaskData::DateSeparator, m_date);
                break;
            case '#':
                m_mask.emplace_back(CMaskData::Digit, m_prompt);
                break;
            case 'A':
                m_mask.emplace_back(CMaskData::AlphaNumeric, m_prompt);
                break;
            case '?':
                m_mask.emplace_back(CMaskData::Alpha, m_prompt);
                break;
            case '>':
                m_mask.emplace_back(CMaskData::AlphaUpper, m_prompt);
                break;
            case '<':
                m_mask.emplace_back(CMaskData::AlphaLower, m_prompt);
                break;
            case '&':
                m_mask.emplace_back(CMaskData::AnyCharacter, m_prompt);
                break;
            case '\\':
                if (i + 1 < mask.size()) {
                    m_mask.emplace_back(CMaskData::EscapedLiteral, mask[++i]);
                } else {
                    m_mask.emplace_back(CMaskData::Literal, c);
                }
                break;
            default:
                m_mask.emplace_back(CMaskData::Literal, c);
                break;
        }
    }
    if (HasMask()) {
        Rewrite(NextInput(0));
    } else {
        ++m_updating;
        QLineEdit::setText(QString());
        --m_updating;
    }
}

void COXMaskedEdit::ChangePrompt(QChar prompt) {
    const ushort u = prompt.unicode();
    if (u != 0 && u != '\n' && u != '\r' && u != 127 && !prompt.isSurrogate()) {
        for (CMaskData& d : m_mask) {
            if (d.IsInputData() && d.character == m_prompt) d.character = prompt;
        }
        m_prompt = prompt;
    }
    if (HasMask()) Rewrite(cursorPosition());
}

QString COXMaskedEdit::DisplayText() const {
    if (!HasMask()) return text();
    QString s;
    s.reserve(Count());
    for (const CMaskData& d : m_mask) s += d.character;
    return s;
}

QString COXMaskedEdit::InputText() const {
    if (!HasMask()) return text();
    QString s;
    for (const CMaskData& d : m_mask) {
        if (d.IsInputData()) s += d.character;
    }
    return s;
}

bool COXMaskedEdit::HasNoInput() const {
    if (!HasMask()) return text().isEmpty();
    for (const CMaskData& d : m_mask) {
        if (d.IsInputData() && d.character != m_prompt) return false;
    }
    return true;
}

bool COXMaskedEdit::FillInput(const QString& text, int keep, bool raw) {
    if (!HasMask()) {
        QLineEdit::setText(text);
        return true;
    }
    const QString old = InputText();
    keep = std::clamp(keep, 0, static_cast<int>(old.size()));
    QString source = old.left(keep) + text;
    if (!raw) source.remove(m_prompt);

    bool skipped = false;
    qsizetype next = 0;
    for (CMaskData& d : m_mask) {
        if (!d.IsInputData()) continue;
        if (next >= source.size()) {
            d.character = m_prompt;
            continue;
        }
        // Try characters until one fits; when the text runs out the old character stays.
        while (next < source.size()) {
            const QChar c = source[next++];
            if (c == m_prompt) {
                d.character = c;
                break;
            }
            if (d.IsValidInput(c)) {
                d.character = d.PreProcessChar(c);
                break;
            }
            skipped = true;
        }
    }
    Rewrite(NextInput(0));
    return !skipped;
}

void COXMaskedEdit::setText(const QString& text) {
    if (!HasMask() || m_updating > 0) {
        QLineEdit::setText(text);
        return;
    }
    // The literals standing where the mask has them go; the rest fills the input.
    QString rest = text;
    for (int end = Count(); end > 0;) {
        if (m_mask[end - 1].IsInputData()) {
            --end;
            continue;
        }
        int start = end;
        while (start > 0 && !m_mask[start - 1].IsInputData()) --start;
        QString literals;
        for (int i = start; i < end; ++i) literals += m_mask[i].character;
        if (rest.mid(start, end - start) == literals) rest.remove(start, end - start);
        end = start;
    }
    m_notifyChange = false;
    FillInput(rest, 0, true);
    m_notifyChange = true;
}

bool COXMaskedEdit::IsPlausibleTime(const QString& display) {
    if (display.size() != 5) return false;
    for (int i : {0, 1, 3, 4}) {
        if (display[i] < QLatin1Char('0') || display[i] > QLatin1Char('9')) return false;
    }
    return TwoDigitNumber(display, 0) < 24 && TwoDigitNumber(display, 3) < 60;
}

bool COXMaskedEdit::IsPlausible() const {
    if (m_maskText != QLatin1String("##:##")) return true;
    return IsPlausibleTime(DisplayText());
}

bool COXMaskedEdit::KeepIfPlausible(const std::vector<CMaskData>& before, int caret) {
    if (IsPlausible()) return true;
    // A time that came in already wrong (set from outside) may be mended step by step.
    QString old;
    for (const CMaskData& d : before) old += d.character;
    if (!IsPlausibleTime(old)) return true;
    m_mask = before;
    Rewrite(caret);
    Sound::beep();
    return false;
}

int COXMaskedEdit::NextInput(int pos) const {
    for (int i = std::max(pos, 0); i < Count(); ++i) {
        if (m_mask[i].IsInputData()) return i;
    }
    return Count();
}

int COXMaskedEdit::PreviousInput(int pos) const {
    for (int i = std::min(pos, Count()) - 1; i >= 0; --i) {
        if (m_mask[i].IsInputData()) return i;
    }
    return -1;
}

int COXMaskedEdit::InputIndexOf(int pos) const {
    int index = 0;
    for (int i = 0; i < pos && i < Count(); ++i) {
        if (m_mask[i].IsInputData()) ++index;
    }
    return index;
}

std::vector<int> COXMaskedEdit::InputPositions() const {
    std::vector<int> positions;
    for (int i = 0; i < Count(); ++i) {
        if (m_mask[i].IsInputData()) positions.push_back(i);
    }
    return positions;
}

void COXMaskedEdit::Rewrite(int caret) {
    ++m_updating;
    const QString display = DisplayText();
    if (QLineEdit::text() != display) QLineEdit::setText(display);
    emit editUpdate();
    if (m_notifyChange) emit editChange();
    setCursorPosition(std::clamp(caret, 0, Count()));
    --m_updating;
}

void COXMaskedEdit::PlaceCaret(int pos) {
    if (pos >= Count() && m_autoAdvance && hasFocus()) {
        setCursorPosition(Count());
        focusNextChild();
        return;
    }
    setCursorPosition(std::clamp(pos, 0, Count()));
}

void COXMaskedEdit::RejectInput() {
    Sound::exclamation();
}

bool COXMaskedEdit::CheckInput() {
    return true;
}

// ---- keys -------------------------------------------------------------------------------

void COXMaskedEdit::keyPressEvent(QKeyEvent* event) {
    if (!HasMask()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (event == QKeySequence::Cut) {
        cutMasked();
        return;
    }
    if (event == QKeySequence::Paste) {
        pasteMasked();
        return;
    }
    if (event == QKeySequence::Undo || event == QKeySequence::Redo) {
        return;  // the edit's own undo would bypass the mask
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
        case Qt::Key_Home:
            if (shift) break;
            QLineEdit::keyPressEvent(event);
            PlaceCaret(NextInput(cursorPosition()));
            return;
        case Qt::Key_Left:
        case Qt::Key_Up: {
            if (shift) break;
            if (event->key() == Qt::Key_Up) {
                cursorBackward(false);
            } else {
                QLineEdit::keyPressEvent(event);
            }
            const int p = cursorPosition();
            if (IsInput(p)) return;
            const int prev = PreviousInput(p);
            PlaceCaret(prev >= 0 ? prev : NextInput(p));
            return;
        }
        case Qt::Key_Right:
        case Qt::Key_Down:
            if (shift) break;
            if (event->key() == Qt::Key_Down) {
                cursorForward(false);
            } else {
                QLineEdit::keyPressEvent(event);
            }
            PlaceCaret(NextInput(cursorPosition()));
            return;
        case Qt::Key_Insert:
            if (shift || control) break;  // Shift+Insert pastes, Ctrl+Insert copies
            m_insertMode = !m_insertMode;
            return;
        case Qt::Key_Delete:
            if (control) break;
            DeleteKey();
            return;
        case Qt::Key_Backspace:
            Backspace();
            return;
        default:
            break;
    }
    const QString typed = event->text();
    if (!control && !typed.isEmpty() && typed[0].unicode() >= 32 && typed[0].unicode() != 127) {
        for (QChar c : typed) HandleCharacter(c);
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void COXMaskedEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (!HasMask()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    // Composed text arrives here instead of as key presses; take only the committed part.
    for (QChar c : event->commitString()) {
        if (c.unicode() >= 32 && c.unicode() != 127) HandleCharacter(c);
    }
    event->accept();
}

void COXMaskedEdit::DeleteKey() {
    if (hasSelectedText()) {
        int start = selectionStart();
        int end = selectionEnd();
        // A selection without input characters moves right until it takes one in.
        while (end <= Count()) {
            bool holdsInput = false;
            for (int i = start; i < end; ++i) holdsInput = holdsInput || IsInput(i);
            if (holdsInput) break;
            ++start;
            ++end;
        }
        if (end > Count()) {
            PlaceCaret(selectionStart());
            return;
        }
        const std::vector<CMaskData> before = m_mask;
        RemoveRange(start, end);
        if (KeepIfPlausible(before, start)) Rewrite(start);
        return;
    }
    const int caret = cursorPosition();
    const int target = NextInput(caret);
    if (target >= Count()) return;
    const std::vector<CMaskData> before = m_mask;
    RemoveRange(target, target + 1);
    if (KeepIfPlausible(before, target)) Rewrite(target);
}

void COXMaskedEdit::Backspace() {
    const std::vector<CMaskData> before = m_mask;
    if (hasSelectedText()) {
        const int start = selectionStart();
        const int end = selectionEnd();
        const int first = NextInput(start);
        if (RemoveRange(start, end) > 0) {
            if (KeepIfPlausible(before, start)) Rewrite(first);
            return;
        }
        const int prev = PreviousInput(start);
        if (prev < 0) {
            PlaceCaret(NextInput(start));
            return;
        }
        RemoveRange(prev, prev + 1);
        if (KeepIfPlausible(before, start)) Rewrite(prev);
        return;
    }
    const int caret = cursorPosition();
    const int prev = PreviousInput(caret);
    if (prev < 0) return;
    RemoveRange(prev, prev + 1);
    if (KeepIfPlausible(before, caret)) Rewrite(prev);
}

int COXMaskedEdit::RemoveRange(int start, int end) {
    const std::vector<int> positions = InputPositions();
    QString input = InputText();
    int removed = 0;
    for (int k = static_cast<int>(positions.size()) - 1; k >= 0; --k) {
        if (positions[k] >= start && positions[k] < end) {
            input.remove(k, 1);
            ++removed;
        }
    }
    if (removed == 0) return 0;
    // The rest moves left; the freed positions at the end show the prompt.
    for (size_t k = 0; k < positions.size(); ++k) {
        CMaskData& d = m_mask[positions[k]];
        d.character = k < static_cast<size_t>(input.size()) ? input[k] : m_prompt;
    }
    return removed;
}

bool COXMaskedEdit::TimeRulesAllow(int pos, QChar ch, const QString& display) {
    if (ch >= QLatin1Char('1') && ch <= QLatin1Char('9')) {
        const char c = static_cast<char>(ch.unicode());
        bool allowed = true;
        switch (pos) {
            case 0:
                allowed = c <= '2';
                break;
            case 3:
                allowed = c == '1' || c == '3' || c == '4';
                break;
            case 4:
                allowed = c == '5';
                break;
            default:
                break;
        }
        if (!allowed) {
            Sound::beep();
            return false;
        }
    }
    QString probe = display;
    if (pos < probe.size()) probe[pos] = ch;
    if (TwoDigitNumber(probe, 0) >= 24 || TwoDigitNumber(probe, 3) >= 60) {
        Sound::beep();
        return false;
    }
    return true;
}

bool COXMaskedEdit::InsertCharacter(int pos, QChar ch) {
    const std::vector<int> positions = InputPositions();
    const int index = InputIndexOf(pos);
    if (index >= static_cast<int>(positions.size())) return false;
    const QString old = InputText();
    QString input = old;
    input.insert(index, ch);
    input.truncate(old.size());
    for (size_t k = 0; k < positions.size(); ++k) {
        CMaskData& d = m_mask[positions[k]];
        const QChar c = input[k];
        if (c != m_prompt && !d.IsValidInput(c)) {
            for (size_t j = 0; j < positions.size(); ++j) m_mask[positions[j]].character = old[j];
            return false;
        }
        d.character = c == m_prompt ? c : d.PreProcessChar(c);
    }
    return true;
}

void COXMaskedEdit::HandleCharacter(QChar ch) {
    if (hasSelectedText()) {
        const int start = selectionStart();
        const int end = selectionEnd();
        bool holdsInput = false;
        for (int i = start; i < end; ++i) holdsInput = holdsInput || IsInput(i);
        if (!holdsInput) {
            RejectInput();
            PlaceCaret(NextInput(start));
            return;
        }
        // The time rules judge the text as it will be after the removal, which is undone
        // when the key is refused.
        const std::vector<CMaskData> before = m_mask;
        RemoveRange(start, end);
        const int target = NextInput(start);
        if (!TimeRulesAllow(target, ch, DisplayText())) {
            m_mask = before;
            return;
        }
        if (!InsertCharacter(target, ch)) {
            Rewrite(target);
            RejectInput();
            return;
        }
        if (!KeepIfPlausible(before, start)) return;
        Rewrite(target);
        PlaceCaret(NextInput(target + 1));
        return;
    }

    const int caret = cursorPosition();
    if (!IsInput(caret)) {
        RejectInput();
        PlaceCaret(NextInput(caret));
        return;
    }
    if (!TimeRulesAllow(caret, ch, DisplayText())) return;

    // An insert shifts the following digits into new places ("1" before "09:15" would give
    // "10:91"): the whole field must still be a time.
    const std::vector<CMaskData> before = m_mask;
    bool accepted = false;
    if (m_insertMode) {
        accepted = InsertCharacter(caret, ch);
    } else {
        CMaskData& d = m_mask[caret];
        if (ch == m_prompt || d.IsValidInput(ch)) {
            d.character = ch == m_prompt ? ch : d.PreProcessChar(ch);
            accepted = true;
        }
    }
    if (!accepted) {
        RejectInput();
        return;
    }
    if (!KeepIfPlausible(before, caret)) return;
    Rewrite(caret);
    PlaceCaret(NextInput(caret + 1));
}

// ---- focus and mouse --------------------------------------------------------------------

void COXMaskedEdit::showEvent(QShowEvent* event) {
    NameFromBuddyLabel(this);
    QLineEdit::showEvent(event);
}

void COXMaskedEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (!HasMask()) return;
    if (hasSelectedText() && selectionStart() == 0 && selectedText().size() == text().size()) {
        PlaceCaret(NextInput(0));
    }
}

void COXMaskedEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A context menu or another application taking over does not leave the field.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason) {
        return;
    }
    RunFocusLossChecks();
}

void COXMaskedEdit::RunFocusLossChecks() {
    MaskedEditValidation validation;
    emit validateInput(&validation, ControlId(this));
    if (validation.valid == 0 || (validation.runDefaultValidation != 0 && !CheckInput())) {
        setFocus(Qt::OtherFocusReason);
        RejectInput();
        const std::vector<int> positions = InputPositions();
        if (!positions.empty()) {
            const int index =
                std::clamp(validation.errorPosition, 0, static_cast<int>(positions.size()) - 1);
            PlaceCaret(positions[index]);
        }
    }
    const QString display = DisplayText();
    const int hours = TwoDigitNumber(display, 0);
    const int minutes = TwoDigitNumber(display, 3);
    if (hours >= 24 || (minutes != 0 && minutes != 15 && minutes != 30 && minutes != 45)) {
        Sound::beep();
        setFocus(Qt::OtherFocusReason);
    }
}

void COXMaskedEdit::mousePressEvent(QMouseEvent* event) {
    if (HasMask() && event->button() == Qt::LeftButton && !hasFocus() && HasNoInput()) {
        setFocus(Qt::MouseFocusReason);
        PlaceCaret(NextInput(0));
        event->accept();
        return;
    }
    QLineEdit::mousePressEvent(event);
}

// ---- clipboard --------------------------------------------------------------------------

void COXMaskedEdit::cutMasked() {
    if (!HasMask()) {
        cut();
        return;
    }
    if (!hasSelectedText()) return;
    // The selection goes to the clipboard first, as users expect of Cut.
    QApplication::clipboard()->setText(selectedText());
    clearMasked();
}

void COXMaskedEdit::clearMasked() {
    if (!HasMask()) {
        del();
        return;
    }
    if (!hasSelectedText()) return;
    const int start = selectionStart();
    const std::vector<CMaskData> before = m_mask;
    RemoveRange(start, selectionEnd());
    if (KeepIfPlausible(before, start)) Rewrite(start);
}

void COXMaskedEdit::pasteMasked() {
    if (!HasMask()) {
        paste();
        return;
    }
    // A single-line field takes the clipboard's first line, as a Windows edit does.
    QString clip = QApplication::clipboard()->text();
    const qsizetype lineEnd = clip.indexOf(QRegularExpression(QStringLiteral("[\\r\\n]")));
    if (lineEnd >= 0) clip.truncate(lineEnd);
    clip.truncate(kMaxPaste);
    if (clip.isEmpty()) return;

    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int end = hasSelectedText() ? selectionEnd() : start;
    const QString combined = DisplayText().left(start) + clip + DisplayText().mid(end);
    // A prompt that is itself valid input ("0" in a time field) must not be dropped from the
    // pasted text, or "20:15" would turn into "21:50".
    bool promptIsInput = false;
    for (const CMaskData& d : m_mask) promptIsInput = promptIsInput || d.IsValidInput(m_prompt);
    const std::vector<CMaskData> before = m_mask;
    FillInput(combined, 0, promptIsInput);
    if (!KeepIfPlausible(before, start)) return;
    // The caret goes to the first empty input position from the former selection start.
    int caret = NextInput(start);
    while (caret < Count() && m_mask[caret].character != m_prompt) caret = NextInput(caret + 1);
    PlaceCaret(caret < Count() ? caret : NextInput(start));
}

void COXMaskedEdit::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(createStandardContextMenu());
    if (HasMask()) {
        // The standard actions would edit the text past the mask; put ours in their places.
        for (QAction* action : menu->actions()) {
            const QString name = action->objectName();
            void (COXMaskedEdit::*handler)() = nullptr;
            if (name == QLatin1String("edit-undo") || name == QLatin1String("edit-redo")) {
                action->setEnabled(false);
                continue;
            }
            if (name == QLatin1String("edit-cut")) handler = &COXMaskedEdit::cutMasked;
            if (name == QLatin1String("edit-paste")) handler = &COXMaskedEdit::pasteMasked;
            if (name == QLatin1String("edit-delete")) handler = &COXMaskedEdit::clearMasked;
            if (!handler) continue;
            auto* replacement = new QAction(action->text(), menu.get());
            replacement->setObjectName(name);
            replacement->setEnabled(action->isEnabled());
            replacement->setShortcut(action->shortcut());
            connect(replacement, &QAction::triggered, this, handler);
            menu->insertAction(action, replacement);
            menu->removeAction(action);
        }
    }
    menu->exec(event->globalPos());
}

}  // namespace tavolin::ui
