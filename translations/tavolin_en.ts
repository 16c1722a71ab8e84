<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="de_DE">
<context>
    <name>tavolin::AppointmentList</name>
    <message>
        <source>Termine.dat: Aufräumen</source>
        <translation>Termine.dat: tidying up</translation>
    </message>
    <message>
        <source>Die Termindatei %1 kann nicht angezeigt werden: %2. Sie bleibt unverändert.</source>
        <translation>The appointment file %1 cannot be shown: %2. It is left unchanged.</translation>
    </message>
    <message>
        <source>sie ist zu groß</source>
        <translation>it is too large</translation>
    </message>
    <message>
        <source>sie kann nicht gelesen werden</source>
        <translation>it cannot be read</translation>
    </message>
    <message>
        <source>Dieser Eintrag steht nicht mehr in der Termindatei; er wurde inzwischen geändert oder entfernt. Es wurde nichts geändert.</source>
        <translation>This entry is no longer in the appointment file; it has been changed or removed in the meantime. Nothing was changed.</translation>
    </message>
    <message>
        <source>Die Termindatei %1 konnte nicht geändert werden (%2). Es wurde nichts gespeichert.</source>
        <translation>The appointment file %1 could not be changed (%2). Nothing was saved.</translation>
    </message>
    <message>
        <source>Termine.dat: neuer Termin </source>
        <translation>Termine.dat: new appointment </translation>
    </message>
    <message>
        <source>Termine.dat: geänderter Termin </source>
        <translation>Termine.dat: changed appointment </translation>
    </message>
    <message>
        <source>Termine.dat: gelöschter Termin </source>
        <translation>Termine.dat: deleted appointment </translation>
    </message>
</context>
<context>
    <name>tavolin::CTavolinApp</name>
    <message>
        <source>Diese Änderungen konnten nicht gespeichert werden, weil ein anderes Programm die Datei sperrt:
%1</source>
        <translation>These changes could not be saved because another program locks the file:
%1</translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Termine.dat: Aufräumen</source>
        <translation>Termine.dat: tidying up</translation>
    </message>
</context>
<context>
    <name>tavolin::CTavolinDlg</name>
    <message>
        <source>Der Pfad "%1" enthält Zeichen, die config.ini nicht speichern kann. Bitte wählen Sie ein Bild aus einem anderen Ordner.</source>
        <translation>The path "%1" has characters config.ini cannot store. Please choose a picture from another folder.</translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>tavolin::CTerminDlg</name>
    <message>
        <source>Termin / Notiz hinzufügen</source>
        <translation>Add appointment / note</translation>
    </message>
    <message>
        <source>Bemerkung</source>
        <translation>Remark</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>&amp;Notiz</source>
        <translation>&amp;Note</translation>
    </message>
    <message>
        <source>Datum</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Zeit</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Warnung</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Bitte geben Sie nicht mehr als %1 Zeichen ein.</source>
        <translation>Please enter no more than %1 characters.</translation>
    </message>
    <message>
        <source>Die Bemerkung enthält das Zeichen "%1", das die Termindatei nicht speichern kann. Bitte entfernen oder ersetzen Sie es.</source>
        <translation>The remark contains "%1", which the appointments file (Windows-1252) cannot store. Please remove or replace it.</translation>
    </message>
    <message>
        <source>Das Datum "%1" gibt es nicht. Bitte geben Sie ein gültiges Datum ein (TT.MM.JJJJ).</source>
        <translation>There is no date "%1". Please enter a valid date (DD.MM.YYYY).</translation>
    </message>
    <message>
        <source>Die Uhrzeit "%1" gibt es nicht. Bitte geben Sie eine Uhrzeit von 00:00 bis 23:59 ein.</source>
        <translation>There is no time "%1". Please enter a time from 00:00 to 23:59.</translation>
    </message>
    <message>
        <source>Das Hintergrundbild kann %1 nicht darstellen; dort bleibt die Stelle leer.
Soll der Termin trotzdem so gespeichert werden?</source>
        <translation>The wallpaper cannot show %1; it leaves a gap there.
Save the appointment as it is anyway?</translation>
    </message>
</context>
<context>
    <name>tavolin::GenerationPresenter</name>
    <message>
        <source>Das Hintergrundbild wurde nicht erstellt.</source>
        <translation>The wallpaper was not made.</translation>
    </message>
    <message>
        <source>Tavolin</source>
        <translation>Tavolin</translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>tavolin::Reminders</name>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Termin-Erinnerung</source>
        <translation>Appointment reminder</translation>
    </message>
    <message>
        <source>Gesehen</source>
        <translation>Seen</translation>
    </message>
</context>
<context>
    <name>tavolin::UpDownArrows</name>
    <message>
        <source>Uhrzeit ändern</source>
        <translation>Change time</translation>
    </message>
</context>
<context>
    <name>tavolin::ui::CColourPicker</name>
    <message>
        <source>Automatisch</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>Weitere ...</source>
        <translation>More ...</translation>
    </message>
</context>
<context>
    <name>tavolin::ui::ColourDropDown</name>
    <message>
        <source>Farbauswahl</source>
        <translation>Colour selection</translation>
    </message>
</context>
<context>
    <name>tavolin::ui::HyperLink</name>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Das Betriebssystem hat nicht genügend
Speicher oder Ressourcen.</source>
        <translation>The operating system is out
of memory or resources.</translation>
    </message>
    <message>
        <source>Die angegebene Datei wurde nicht gefunden.</source>
        <translation>The specified file was not found.</translation>
    </message>
    <message>
        <source>Der angegebene Pfad wurde nicht gefunden.</source>
        <translation>The specified path was not found.</translation>
    </message>
    <message>
        <source>Das Betriebssystem hat den Zugriff
auf die angegebene Datei verweigert.</source>
        <translation>The operating system denied
access to the specified file.</translation>
    </message>
    <message>
        <source>Der Speicher reicht für diesen Vorgang nicht aus.</source>
        <translation>There was not enough memory to complete the operation.</translation>
    </message>
    <message>
        <source>Die .EXE-Datei ist ungültig
(keine Win32-.EXE oder Fehler im .EXE-Abbild).</source>
        <translation>The .EXE file is invalid
(non-Win32 .EXE or error in .EXE image).</translation>
    </message>
    <message>
        <source>Es ist eine Freigabeverletzung aufgetreten. </source>
        <translation>A sharing violation occurred. </translation>
    </message>
    <message>
        <source>Die Dateizuordnung ist
unvollständig oder ungültig.</source>
        <translation>The filename association is
incomplete or invalid.</translation>
    </message>
    <message>
        <source>Die DDE-Transaktion konnte nicht
abgeschlossen werden, weil die Anfrage zu lange dauerte.</source>
        <translation>The DDE transaction could not
be completed because the request timed out.</translation>
    </message>
    <message>
        <source>Die DDE-Transaktion ist fehlgeschlagen.</source>
        <translation>The DDE transaction failed.</translation>
    </message>
    <message>
        <source>Die DDE-Transaktion konnte nicht
abgeschlossen werden, weil andere DDE-Transaktionen
bearbeitet wurden.</source>
        <translation>The DDE transaction could not
be completed because other DDE transactions
were being processed.</translation>
    </message>
    <message>
        <source>Mit dieser Dateinamenerweiterung ist
kein Programm verknüpft.</source>
        <translation>There is no application associated
with the given filename extension.</translation>
    </message>
    <message>
        <source>Die angegebene Programmbibliothek wurde nicht gefunden.</source>
        <translation>The specified dynamic-link library was not found.</translation>
    </message>
    <message>
        <source>Unbekannter Fehler (%1) aufgetreten.</source>
        <translation>Unknown Error (%1) occurred.</translation>
    </message>
    <message>
        <source>Der Link kann nicht geöffnet werden:

</source>
        <translation>Unable to open hyperlink:

</translation>
    </message>
</context>
</TS>
