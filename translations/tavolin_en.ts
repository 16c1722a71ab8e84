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
    <message>
        <source>Datum</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Bemerkung</source>
        <translation>Remark</translation>
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
    <message>
        <source> Alle unterstützten Formate |*.jpg;*.jpeg;*.gif;*.tiff;*.tif;*.png;*.bmp;*.ico;*.tga;*.pcx;*.wbmp;*.wmf;*.emf| Bitmaps (*.bmp) |*.bmp| JPEG-Bilder (*.jpg;*.jpeg)|*.jpg;*.jpeg| GIF-Bilder (*.gif) |*.gif| PNG-Bilder (*.png) |*.png| TIFF-Bilder (*.tif;*.tiff) |*.tif;*.tiff||</source>
        <translation> All supported formats |*.jpg;*.jpeg;*.gif;*.tiff;*.tif;*.png;*.bmp;*.ico;*.tga;*.pcx;*.wbmp;*.wmf;*.emf| Bitmaps (*.bmp) |*.bmp| JPEG pictures (*.jpg;*.jpeg)|*.jpg;*.jpeg| GIF pictures (*.gif) |*.gif| PNG pictures (*.png) |*.png| TIFF pictures (*.tif;*.tiff) |*.tif;*.tiff||</translation>
    </message>
    <message>
        <source>Montag</source>
        <translation>Monday</translation>
    </message>
    <message>
        <source>Sonntag</source>
        <translation>Sunday</translation>
    </message>
    <message>
        <source>Automatisch</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>Weitere ...</source>
        <translation>More ...</translation>
    </message>
    <message>
        <source>Beim Initialisieren des Programmes ist ein Fehler aufgetreten.</source>
        <translation>An error occurred while starting the program.</translation>
    </message>
    <message>
        <source>Fehler bei aktualisieren</source>
        <translation>Error while updating</translation>
    </message>
    <message>
        <source>&amp;iCalendar-Import ...</source>
        <translation>&amp;iCalendar import ...</translation>
    </message>
    <message>
        <source>Hintergrundbild</source>
        <translation>Background picture</translation>
    </message>
    <message>
        <source>Hier geben Sie bitte den Pfad für das Hintergrundbild ein.</source>
        <translation>Enter the path of the background picture here.</translation>
    </message>
    <message>
        <source>Layout</source>
        <translation>Layout</translation>
    </message>
    <message>
        <source>Hiermit wird festgelegt, ob auf dem Desktop der aktuelle Monat, der vergangene, der aktuelle und der nächste Monat, das aktuelle Datum oder kein Datum angezeigt werden soll.</source>
        <translation>Decides whether the desktop shows the current month, the previous, current and next month, the current date or no date.</translation>
    </message>
    <message>
        <source>Hintergrundbild verwenden</source>
        <translation>Use background picture</translation>
    </message>
    <message>
        <source>Damit legen Sie fest, ob ein Bild, oder eine Farbe, als Hintergrund verwendet werden soll.</source>
        <translation>Decides whether a picture or a colour is used as the background.</translation>
    </message>
    <message>
        <source>Hintergrundbild &amp;zentrieren</source>
        <translation>Centre &amp;background picture</translation>
    </message>
    <message>
        <source>Hintergrundbild zentrieren</source>
        <translation>Centre background picture</translation>
    </message>
    <message>
        <source>Mit dieser Einstellung geben Sie an, ob das als Hintergrund gewählte Bild, falls es kleiner als der Bildschirm ist, zentriert wird. Ansonsten wird es gestreckt.</source>
        <translation>Decides whether a background picture smaller than the screen is centred. Otherwise it is stretched.</translation>
    </message>
    <message>
        <source>Hintergrundfarbe:</source>
        <translation>Background colour:</translation>
    </message>
    <message>
        <source>Hintergrundfarbe</source>
        <translation>Background colour</translation>
    </message>
    <message>
        <source>Hiermit wählen Sie die Farbe, die später Ihre Hintergrundfarbe sein soll.</source>
        <translation>Choose the colour that is to be your background colour.</translation>
    </message>
    <message>
        <source>Hintergrundbild:</source>
        <translation>Background picture:</translation>
    </message>
    <message>
        <source>Hintergrundbild wählen</source>
        <translation>Choose background picture</translation>
    </message>
    <message>
        <source>Tagesfarbe:</source>
        <translation>Day colour:</translation>
    </message>
    <message>
        <source>Tagesfarbe</source>
        <translation>Day colour</translation>
    </message>
    <message>
        <source>Hier wird angegeben, welche Farbe normale Tage (nicht der Aktuelle und keine Sonn- und Feiertage) haben sollen. Zudem wird diese Farbe für die Beschriftung und den Rahmen der Felder verwendet.</source>
        <translation>The colour of ordinary days (not today, no Sundays or holidays). It is also used for the captions and the frames of the fields.</translation>
    </message>
    <message>
        <source>Feiertagsfarbe:</source>
        <translation>Holiday colour:</translation>
    </message>
    <message>
        <source>Feiertagsfarbe</source>
        <translation>Holiday colour</translation>
    </message>
    <message>
        <source>Diese Farbe wird für die Feiertage, sowie Sonntage verwendet.</source>
        <translation>This colour is used for holidays and Sundays.</translation>
    </message>
    <message>
        <source>Monatsfarbe:</source>
        <translation>Month colour:</translation>
    </message>
    <message>
        <source>Monatsfarbe</source>
        <translation>Month colour</translation>
    </message>
    <message>
        <source>Damit geben Sie die Farbe an, in der die Monatsnamen und die Beschriftung in der Rahmen gezeichnet werden.</source>
        <translation>The colour in which the month names and the captions in the frames are drawn.</translation>
    </message>
    <message>
        <source>akt. Tagesfarbe:</source>
        <translation>Today's colour:</translation>
    </message>
    <message>
        <source>akt. Tagesfarbe</source>
        <translation>Today's colour</translation>
    </message>
    <message>
        <source>Mit dieser Farbe wird der aktuelle Tag und alle Termine für diesen Tag gezeichnet.</source>
        <translation>The current day and all of its appointments are drawn in this colour.</translation>
    </message>
    <message>
        <source>&amp;1 Monat</source>
        <translation>&amp;1 month</translation>
    </message>
    <message>
        <source>&amp;3 Monate</source>
        <translation>&amp;3 months</translation>
    </message>
    <message>
        <source>&amp;Aktueller Tag</source>
        <translation>&amp;Current day</translation>
    </message>
    <message>
        <source>&amp;Ohne Datum</source>
        <translation>&amp;No date</translation>
    </message>
    <message>
        <source>Autostart</source>
        <translation>Autostart</translation>
    </message>
    <message>
        <source>A&amp;utomatisch starten</source>
        <translation>Start a&amp;utomatically</translation>
    </message>
    <message>
        <source>Automatisch starten</source>
        <translation>Start automatically</translation>
    </message>
    <message>
        <source>Geben Sie hier an, ob der Kalender bei der Windowsanmeldung automatisch erstellt werden soll. Dabei wird das Programm neben der Uhr in der Taskleiste abgelegt.</source>
        <translation>Decides whether the calendar is generated automatically when you log in. The program then waits in the notification area next to the clock.</translation>
    </message>
    <message>
        <source>Termine</source>
        <translation>Appointments</translation>
    </message>
    <message>
        <source>&amp;Termine anzeigen</source>
        <translation>Show &amp;appointments</translation>
    </message>
    <message>
        <source>Termine anzeigen</source>
        <translation>Show appointments</translation>
    </message>
    <message>
        <source>Hiermit wird festgelegt, ob beim Erstellen des Hintergrundbildes die Termine mitgezeichnet werden.</source>
        <translation>Decides whether the appointments are drawn onto the background picture.</translation>
    </message>
    <message>
        <source>Erster W-Tag:</source>
        <translation>First weekday:</translation>
    </message>
    <message>
        <source>Erster Wochentag</source>
        <translation>First weekday</translation>
    </message>
    <message>
        <source>Mit dieser Einstellung legen Sie fest, ob der Sonntag oder der Montag als erster Wochentag angezeigt werden soll.</source>
        <translation>Decides whether Sunday or Monday is shown as the first day of the week.</translation>
    </message>
    <message>
        <source>Zusätzliche Termineinstellungen</source>
        <translation>More appointment settings</translation>
    </message>
    <message>
        <source>&amp;Kalenderwoche anzeigen</source>
        <translation>Show calendar &amp;week</translation>
    </message>
    <message>
        <source>Kalenderwoche anzeigen</source>
        <translation>Show calendar week</translation>
    </message>
    <message>
        <source>Wenn dieser Schalter gesetzt ist, werden bei den auf dem Desktop angezeigten Terminen die Kalenderwochen mitgedruckt.</source>
        <translation>When this is ticked, the appointments on the desktop show their calendar weeks.</translation>
    </message>
    <message>
        <source>T&amp;ermine löschen</source>
        <translation>Dele&amp;te appointments</translation>
    </message>
    <message>
        <source>Termine löschen</source>
        <translation>Delete appointments</translation>
    </message>
    <message>
        <source>Hiermit wird festgelegt, ob abgelaufene Termine aus der Liste gelöscht werden sollen oder sie auf das aktuelle Datum verschoben werden.</source>
        <translation>Decides whether expired appointments are deleted from the list or moved to today.</translation>
    </message>
    <message>
        <source>Alarmeistellungen</source>
        <translation>Alarm settings</translation>
    </message>
    <message>
        <source>&amp;Meldung anzeigen</source>
        <translation>Show &amp;reminder</translation>
    </message>
    <message>
        <source>Meldung anzeigen</source>
        <translation>Show reminder</translation>
    </message>
    <message>
        <source>Mit Hilfe dieses Schalters legen Sie fest, ob beim Erreichen des Termins eine Nachricht angezeigt werden soll.</source>
        <translation>Decides whether a reminder is shown when an appointment falls due.</translation>
    </message>
    <message>
        <source>Termintabelle</source>
        <translation>Appointment table</translation>
    </message>
    <message>
        <source>In dieser Tabelle werden alle eingetragenen Termine, die noch nicht abgelaufen sind, angezeigt.
Durch Doppelklick können sie bearbeitet werden.</source>
        <translation>This table shows every appointment that has not expired yet.
Double-click one to edit it.</translation>
    </message>
    <message>
        <source>&amp;Hinzfügen</source>
        <translation>A&amp;dd</translation>
    </message>
    <message>
        <source>Termin hinzufügen</source>
        <translation>Add appointment</translation>
    </message>
    <message>
        <source>Damit öffnen Sie einen Dialog zum Eintragen neuer Termine.</source>
        <translation>Opens a dialog for entering new appointments.</translation>
    </message>
    <message>
        <source>&amp;Bearbeiten</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>Termin bearbeiten</source>
        <translation>Edit appointment</translation>
    </message>
    <message>
        <source>Damit öffnen Sie einen Dialog zum Bearbeiten des markierten Termins.</source>
        <translation>Opens a dialog for editing the selected appointment.</translation>
    </message>
    <message>
        <source>&amp;Löschen</source>
        <translation>De&amp;lete</translation>
    </message>
    <message>
        <source>Damit öffnen Sie einen Dialog zum Löschen des markierten Termins.</source>
        <translation>Deletes the selected appointment.</translation>
    </message>
    <message>
        <source>&amp;Programm</source>
        <translation>&amp;Program</translation>
    </message>
    <message>
        <source>&amp;Erstellen</source>
        <translation>&amp;Generate</translation>
    </message>
    <message>
        <source>&amp;Beenden</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>Term&amp;ine</source>
        <translation>Appo&amp;intments</translation>
    </message>
    <message>
        <source>&amp;Outlook-Import</source>
        <translation>&amp;Outlook import</translation>
    </message>
    <message>
        <source>&amp;?</source>
        <translation>&amp;?</translation>
    </message>
    <message>
        <source>&amp;Info ...</source>
        <translation>&amp;About ...</translation>
    </message>
    <message>
        <source>Trennlinie</source>
        <translation>Separator</translation>
    </message>
    <message>
        <source>Hintergrundbild</source>
        <comment>check box</comment>
        <translation>Use picture</translation>
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
    <name>tavolin::TrayIcon</name>
    <message>
        <source>&amp;Wiederherstellen</source>
        <translation>&amp;Restore</translation>
    </message>
    <message>
        <source>&amp;Kalender erstellen</source>
        <translation>&amp;Generate calendar</translation>
    </message>
    <message>
        <source>&amp;Informationen</source>
        <translation>&amp;Information</translation>
    </message>
    <message>
        <source>&amp;Beenden</source>
        <translation>E&amp;xit</translation>
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
