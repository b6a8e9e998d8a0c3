<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>qvx</name>
    <message>
        <source>Die Hilfedatei %1 konnte nicht geöffnet werden.
Bitte prüfen Sie, ob sie im Arbeitsverzeichnis liegt.</source>
        <translation>The help file %1 could not be opened.
Please check that it is in the working folder.</translation>
    </message>
    <message>
        <source>Verbindung wiederhergestellt</source>
        <translation>Connection restored</translation>
    </message>
    <message>
        <source>Ein anderer Controller ist verbunden (Seriennummer %1, zuvor %2).
Kalibriertabelle und Toleranzen wurden neu gelesen.</source>
        <translation>Another controller is connected (serial number %1, before %2).
The calibration table and the tolerances were read again.</translation>
    </message>
    <message>
        <source>&amp;Datei</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>Standardeinheit</source>
        <translation>Default unit</translation>
    </message>
    <message>
        <source>&amp;Beenden</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>Verbindung</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>Verbindung herstellen...</source>
        <translation>Connect...</translation>
    </message>
    <message>
        <source>Verbindung trennen</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>Hilfe</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Inf&amp;o über qvx_controller...</source>
        <translation>&amp;About qvx_controller...</translation>
    </message>
    <message>
        <source>Info über qvx_controller</source>
        <translation>About qvx_controller</translation>
    </message>
    <message>
        <source>Fehler beim Überprüfen des Passwortes</source>
        <translation>Error while checking the password</translation>
    </message>
    <message>
        <source>Verbindung unterbrochen</source>
        <translation>Connection interrupted</translation>
    </message>
    <message>
        <source>Die Verbindung zum Gateway konnte nicht aufgebaut werden !</source>
        <translation>The connection to the gateway could not be established !</translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Fehler beim Verbinden mit dem Modem.
Bitte überprüfen Sie die Verbindung und die Einträge in der Datei Qvx.ini.
</source>
        <translation>Error while connecting to the modem.
Please check the connection and the entries in the file Qvx.ini.
</translation>
    </message>
    <message>
        <source>Der letzte Stützpunkt wird durch die Toleranz überschrieben. Möchten Sie weitermachen ?</source>
        <translation>The last support point is overwritten by the tolerance. Do you want to continue ?</translation>
    </message>
    <message>
        <source>Warnung</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Wähle</source>
        <translation>Dialling</translation>
    </message>
    <message>
        <source>Online, Verbunden mit </source>
        <translation>Online, connected to </translation>
    </message>
    <message>
        <source>Offline.</source>
        <translation>Offline.</translation>
    </message>
    <message>
        <source>Der Controller antwortet nicht. Der Datenport ist vielleicht von einem anderen Programm belegt (das Gateway bedient nur einen Client zur Zeit), oder hinter dem Gateway antwortet nichts.</source>
        <translation>The controller does not answer. Another program may be using the data port (the gateway serves one client at a time), or nothing answers behind the gateway.</translation>
    </message>
    <message>
        <source>Anmeldung am Gateway fehlgeschlagen: </source>
        <translation>Login at the gateway failed: </translation>
    </message>
    <message>
        <source>Datenport nicht erreichbar: </source>
        <translation>Data port not reachable: </translation>
    </message>
    <message>
        <source>Wählen fehlgeschlagen: </source>
        <translation>Dialling failed: </translation>
    </message>
    <message>
        <source>Verbunden mit </source>
        <translation>Connected to </translation>
    </message>
    <message>
        <source>Verbindung verloren: </source>
        <translation>Connection lost: </translation>
    </message>
    <message>
        <source>Der Controller antwortet nicht mehr.</source>
        <translation>The controller no longer answers.</translation>
    </message>
    <message>
        <source>Verbindungsversuch: Anmeldung am Gateway </source>
        <translation>Connection attempt: login at the gateway </translation>
    </message>
    <message>
        <source>Verbindung wiederhergestellt: </source>
        <translation>Connection restored: </translation>
    </message>
    <message>
        <source>Nächster Verbindungsversuch in </source>
        <translation>Next connection attempt in </translation>
    </message>
    <message>
        <source>Verbindung vom Benutzer getrennt.</source>
        <translation>Disconnected by the user.</translation>
    </message>
    <message>
        <source>Neue Verbindung</source>
        <translation>New connection</translation>
    </message>
    <message>
        <source>Modem</source>
        <translation>Modem</translation>
    </message>
    <message>
        <source>Netzwerk</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>Verbindung automatisch wiederherstellen</source>
        <translation>Restore the connection automatically</translation>
    </message>
    <message>
        <source>Telefonnummer</source>
        <translation>Telephone number</translation>
    </message>
    <message>
        <source>Ip - Addresse</source>
        <translation>IP address</translation>
    </message>
    <message>
        <source>Portnummer</source>
        <translation>Port number</translation>
    </message>
    <message>
        <source>Timeout - Wert</source>
        <translation>Timeout value</translation>
    </message>
    <message>
        <source>Passwort</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Geben Sie bitte nicht mehr als %1 Zeichen ein.</source>
        <translation>Please enter no more than %1 characters.</translation>
    </message>
    <message>
        <source>Geben Sie bitte eine ganze Zahl ein.</source>
        <translation>Please enter a whole number.</translation>
    </message>
    <message>
        <source>Geben Sie bitte eine ganze Zahl zwischen %1 und %2 ein.</source>
        <translation>Please enter a whole number between %1 and %2.</translation>
    </message>
    <message>
        <source>Aus&lt;--&gt;Auf</source>
        <translation>Off&lt;--&gt;Open</translation>
    </message>
    <message>
        <source>Auf&lt;--&gt;C</source>
        <translation>Open&lt;--&gt;C</translation>
    </message>
    <message>
        <source>C&lt;--&gt;B</source>
        <translation>C&lt;--&gt;B</translation>
    </message>
    <message>
        <source>B&lt;--&gt;A</source>
        <translation>B&lt;--&gt;A</translation>
    </message>
    <message>
        <source>A&lt;--&gt;Zu</source>
        <translation>A&lt;--&gt;Closed</translation>
    </message>
    <message>
        <source>fehlt</source>
        <translation>missing</translation>
    </message>
    <message>
        <source>Schaltschwelle </source>
        <translation>Switch point </translation>
    </message>
    <message>
        <source>Betriebsart</source>
        <translation>Switching mode</translation>
    </message>
    <message>
        <source>Untertoleranz</source>
        <translation>Under-tolerance</translation>
    </message>
    <message>
        <source>Übertoleranz</source>
        <translation>Over-tolerance</translation>
    </message>
    <message>
        <source>Kalibrierung: Formatversion</source>
        <translation>Calibration: format version</translation>
    </message>
    <message>
        <source>Kalibrierung: Modus</source>
        <translation>Calibration: mode</translation>
    </message>
    <message>
        <source>Kalibrierung: Anzahl Stützstellen</source>
        <translation>Calibration: number of support points</translation>
    </message>
    <message>
        <source>Kalibrierung: gewählte Stützstelle</source>
        <translation>Calibration: selected support point</translation>
    </message>
    <message>
        <source>Stützstelle </source>
        <translation>Support point </translation>
    </message>
    <message>
        <source>Stützstellentabelle der QVX, Eintrag </source>
        <translation>Support point table of the QVX, entry </translation>
    </message>
    <message>
        <source>Untertoleranztabelle der QVX, Eintrag </source>
        <translation>Under-tolerance table of the QVX, entry </translation>
    </message>
    <message>
        <source>Übertoleranztabelle der QVX, Eintrag </source>
        <translation>Over-tolerance table of the QVX, entry </translation>
    </message>
    <message>
        <source>Bereich</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>Schaltpunkt</source>
        <translation>Switch point</translation>
    </message>
    <message>
        <source>Kalibriertabelle</source>
        <translation>Calibration table</translation>
    </message>
    <message>
        <source>Stützstellentabelle der QVX</source>
        <translation>Support point table of the QVX</translation>
    </message>
    <message>
        <source>Untertoleranztabelle der QVX</source>
        <translation>Under-tolerance table of the QVX</translation>
    </message>
    <message>
        <source>Übertoleranztabelle der QVX</source>
        <translation>Over-tolerance table of the QVX</translation>
    </message>
    <message>
        <source>Toleranzen</source>
        <translation>Tolerances</translation>
    </message>
    <message>
        <source>Schaltschwellen</source>
        <translation>Switch points</translation>
    </message>
    <message>
        <source>Tabellen der QVX</source>
        <translation>Tables of the QVX</translation>
    </message>
    <message>
        <source>Seriennummer</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>Werte in mV</source>
        <translation>Values in mV</translation>
    </message>
    <message>
        <source>Werte in mm</source>
        <translation>Values in mm</translation>
    </message>
    <message>
        <source>Werte in 1/10 &apos;&apos;</source>
        <translation>Values in 1/10 &apos;&apos;</translation>
    </message>
    <message>
        <source>Keine passende Antwort auf %1 Adresse %2 Länge %3 (Versuch %4 von %5)</source>
        <translation>No matching reply to %1 address %2 length %3 (attempt %4 of %5)</translation>
    </message>
    <message>
        <source>Rahmen mit falscher Prüfsumme empfangen und verworfen</source>
        <translation>Frame with a wrong checksum received and discarded</translation>
    </message>
    <message>
        <source>Rahmen mit falscher Prüfsumme empfangen</source>
        <translation>Frame with a wrong checksum received</translation>
    </message>
    <message>
        <source>Programmieren</source>
        <translation>Programming</translation>
    </message>
    <message>
        <source>Betriebszustand</source>
        <translation>Operating state</translation>
    </message>
    <message>
        <source>Aufnahme</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>Kalibrierung</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>Service</source>
        <translation>Service</translation>
    </message>
    <message>
        <source>Änderungen an diesen Werten führt zu einer veränderten Kalibrierung</source>
        <translation>Changing these values changes the calibration</translation>
    </message>
    <message>
        <source>Achtung !</source>
        <translation>Attention !</translation>
    </message>
    <message>
        <source>Auf</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>C</source>
        <translation>C</translation>
    </message>
    <message>
        <source>B</source>
        <translation>B</translation>
    </message>
    <message>
        <source>A</source>
        <translation>A</translation>
    </message>
    <message>
        <source>Zu</source>
        <translation>Closed</translation>
    </message>
    <message>
        <source>QVX Arbeitsspeicher</source>
        <translation>QVX working memory</translation>
    </message>
    <message>
        <source>Modus : Bereich</source>
        <translation>Mode : Range</translation>
    </message>
    <message>
        <source>Modus : Schaltpunkt</source>
        <translation>Mode : Switch point</translation>
    </message>
    <message>
        <source>Ip - Addresse :</source>
        <translation>IP address :</translation>
    </message>
    <message>
        <source>Serien Nr.      :</source>
        <translation>Serial no.      :</translation>
    </message>
    <message>
        <source>Woche          :</source>
        <translation>Week           :</translation>
    </message>
    <message>
        <source>Jahr               :</source>
        <translation>Year               :</translation>
    </message>
    <message>
        <source>Bitte halten Sie auch folgende Information bereit :  Greifertyp und Sensor.
Bitte versuchen Sie mittels der Funktion &apos; Aufnahme &apos; das Problem zu dokumentieren.</source>
        <translation>Please also have the following information at hand :  gripper type and sensor.
Please try to document the problem with the function &apos; Recording &apos;.</translation>
    </message>
    <message>
        <source>Varnok Service
Kundendienst Greifersensorik
Telefon:  +49 (0) 000 000000-0
E-Mail:   service@varnok.example</source>
        <translation>Varnok Service
Customer service gripper sensors
Phone:    +49 (0) 000 000000-0
E-mail:   service@varnok.example</translation>
    </message>
    <message>
        <source>Aktuellen Greiferwert lernen</source>
        <translation>Teach the current gripper value</translation>
    </message>
    <message>
        <source>QVX Eingangsspeicher</source>
        <translation>QVX input memory</translation>
    </message>
    <message>
        <source>Speichern als</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>Werte in QVX übernehmen</source>
        <translation>Write values to the QVX</translation>
    </message>
    <message>
        <source>Toleranzprogrammierung</source>
        <translation>Program tolerances</translation>
    </message>
    <message>
        <source>Programmierung sichern</source>
        <translation>Save programming</translation>
    </message>
    <message>
        <source>Programmierung wieder einlesen</source>
        <translation>Read programming back in</translation>
    </message>
    <message>
        <source>Werte Eingabe in mV</source>
        <translation>Values entered in mV</translation>
    </message>
    <message>
        <source>Werte Eingabe in mm</source>
        <translation>Values entered in mm</translation>
    </message>
    <message>
        <source>Werte Eingabe in 1/10 &apos;&apos;</source>
        <translation>Values entered in 1/10 &apos;&apos;</translation>
    </message>
    <message>
        <source>Untertoleranz in mV</source>
        <translation>Under-tolerance in mV</translation>
    </message>
    <message>
        <source>Untertoleranz in mm</source>
        <translation>Under-tolerance in mm</translation>
    </message>
    <message>
        <source>Übertoleranz in mV</source>
        <translation>Over-tolerance in mV</translation>
    </message>
    <message>
        <source>Übertoleranz in mm</source>
        <translation>Over-tolerance in mm</translation>
    </message>
    <message>
        <source>Geben Sie bitte eine Zahl ein.</source>
        <translation>Please enter a number.</translation>
    </message>
    <message>
        <source>Die eingegebenen Werte können zu einem fehlerhaften Arbeiten führen ! Wollen Sie fortfahren ?</source>
        <translation>The values entered may make the controller work incorrectly ! Do you want to continue ?</translation>
    </message>
    <message>
        <source>Qvx Konfigurationsdateien (*.qvx)</source>
        <translation>Qvx configuration files (*.qvx)</translation>
    </message>
    <message>
        <source>Speichern unter bestätigen</source>
        <translation>Confirm Save As</translation>
    </message>
    <message>
        <source>%1 ist bereits vorhanden.
Möchten Sie sie ersetzen?</source>
        <translation>%1 already exists.
Do you want to replace it?</translation>
    </message>
    <message>
        <source>Die Datei %1 konnte nicht geschrieben werden.</source>
        <translation>The file %1 could not be written.</translation>
    </message>
    <message>
        <source>Die Programmierung kann nicht gesichert werden, weil die Werte der QVX nicht gelesen werden konnten.</source>
        <translation>The programming cannot be saved because the values of the QVX could not be read.</translation>
    </message>
    <message>
        <source>Die Datei %1 konnte nicht gelesen werden.</source>
        <translation>The file %1 could not be read.</translation>
    </message>
    <message>
        <source>Die Datei %1 enthält keine Programmierung.</source>
        <translation>The file %1 holds no programming.</translation>
    </message>
    <message>
        <source>Die Datei %1 enthält bei &quot;%2&quot; keine gültige Zahl.</source>
        <translation>The file %1 holds no valid number at &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>Die Datei %1 enthält Längen. Die Kalibriertabelle braucht dafür mindestens zwei Stützpunkte.</source>
        <translation>The file %1 holds lengths. The calibration table needs at least two support points for them.</translation>
    </message>
    <message>
        <source>Die Werte wurden nicht in die QVX übernommen, weil der QVX Eingangsspeicher nicht gelesen werden konnte.</source>
        <translation>The values were not written to the QVX because the QVX input memory could not be read.</translation>
    </message>
    <message>
        <source>Die Werte wurden nicht in die QVX übernommen. Längen lassen sich erst umrechnen, wenn die Kalibriertabelle mindestens zwei Stützstellen hat.</source>
        <translation>The values were not written to the QVX. Lengths can only be converted once the calibration table has at least two support points.</translation>
    </message>
    <message>
        <source>Die Toleranzprogrammierung wurde nicht ausgeführt, weil der QVX Eingangsspeicher nicht gelesen werden konnte.</source>
        <translation>The tolerances were not programmed because the QVX input memory could not be read.</translation>
    </message>
    <message>
        <source>Die Toleranzprogrammierung wurde nicht ausgeführt, weil der aktuelle Greiferwert nicht gelesen werden konnte.</source>
        <translation>The tolerances were not programmed because the current gripper value could not be read.</translation>
    </message>
    <message>
        <source>Die Toleranzprogrammierung wurde nicht ausgeführt, weil die Betriebsart der QVX nicht gelesen werden konnte.</source>
        <translation>The tolerances were not programmed because the switching mode of the QVX could not be read.</translation>
    </message>
    <message>
        <source>Die Toleranzprogrammierung wurde nicht ausgeführt. Längen lassen sich erst umrechnen, wenn die Kalibriertabelle mindestens zwei Stützstellen hat.</source>
        <translation>The tolerances were not programmed. Lengths can only be converted once the calibration table has at least two support points.</translation>
    </message>
    <message>
        <source>Die Datei %1 wurde nicht eingelesen, weil die Betriebsart der QVX nicht gelesen werden konnte.
Die QVX und die Anzeige sind unverändert.</source>
        <translation>The file %1 was not read in because the switching mode of the QVX could not be read.
The QVX and the display are unchanged.</translation>
    </message>
    <message>
        <source>Einige Werte liegen außerhalb des Messbereichs von 0 bis 5000 mV und wurden auf dessen Grenze gesetzt.
In die QVX übernommen wurde:
%1</source>
        <translation>Some values lie outside the measuring range of 0 to 5000 mV and were set to its limit.
Written to the QVX:
%1</translation>
    </message>
    <message>
        <source>Die Datei %1 gibt ihre Werte in %2 an, das Programm zeigt Längen in %3.
Ältere Dateien nennen auch für 1/10 &apos;&apos; die Einheit mm.

In welcher Einheit sind die Werte der Datei angegeben?</source>
        <translation>The file %1 gives its values in %2, the program shows lengths in %3.
Older files name the unit mm for 1/10 &apos;&apos; too.

In which unit are the file&apos;s values given?</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>1/10 &apos;&apos;</source>
        <translation>1/10 &apos;&apos;</translation>
    </message>
    <message>
        <source>Anzahl Stützstellen</source>
        <translation>Number of support points</translation>
    </message>
    <message>
        <source>Nr.</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>&amp;Zurück</source>
        <translation>&amp;Back</translation>
    </message>
    <message>
        <source>&amp;Vor</source>
        <translation>&amp;Next</translation>
    </message>
    <message>
        <source>Länge</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>Spannung</source>
        <translation>Voltage</translation>
    </message>
    <message>
        <source>&amp;Lern</source>
        <translation>&amp;Teach</translation>
    </message>
    <message>
        <source>Kalibrierungsdaten im QVX sichern</source>
        <translation>Save the calibration data in the QVX</translation>
    </message>
    <message>
        <source>um</source>
        <translation>by</translation>
    </message>
    <message>
        <source>* 1/10 &apos;&apos;</source>
        <translation>* 1/10 &apos;&apos;</translation>
    </message>
    <message>
        <source>mV</source>
        <translation>mV</translation>
    </message>
    <message>
        <source>mm Wert</source>
        <translation>mm value</translation>
    </message>
    <message>
        <source>1/10 &apos;&apos; Wert</source>
        <translation>1/10 &apos;&apos; value</translation>
    </message>
    <message>
        <source>mm veringern</source>
        <translation>mm shorter</translation>
    </message>
    <message>
        <source>* 1/10 &apos;&apos; veringern</source>
        <translation>* 1/10 &apos;&apos; shorter</translation>
    </message>
    <message>
        <source>Stützstellen</source>
        <translation>Support points</translation>
    </message>
    <message>
        <source>Neue Stützstelle aus verkürzter Länge</source>
        <translation>New support point from a shortened length</translation>
    </message>
    <message>
        <source>Bitte geben Sie eine Anzahl &gt;= 2 ein.</source>
        <translation>Please enter a number &gt;= 2.</translation>
    </message>
    <message>
        <source>Fehler !

Die Operation konnte nicht erfolgreich beendet werden.
Grund : Das Programm müßte jetzt eine weitere Stützstelle hinzufügen.
Dies ist nicht möglich, da nur maximal %d Stützstellen erlaubt sind !</source>
        <translation>Error !

The operation could not be completed.
Reason : The program would now have to add another support point.
This is not possible because at most %d support points are allowed !</translation>
    </message>
    <message>
        <source>Geben Sie bitte eine positive ganze Zahl ein.</source>
        <translation>Please enter a positive whole number.</translation>
    </message>
    <message>
        <source>Die Länge kann nicht gespeichert werden.
Bitte geben Sie eine Länge von 0 bis 65,535 mm ein.</source>
        <translation>The length cannot be saved.
Please enter a length from 0 to 65.535 mm.</translation>
    </message>
    <message>
        <source>Die Länge kann nicht gespeichert werden.
Bitte geben Sie eine Länge von 0 bis 25,801 * 1/10 &apos;&apos; ein.</source>
        <translation>The length cannot be saved.
Please enter a length from 0 to 25.801 * 1/10 &apos;&apos;.</translation>
    </message>
    <message>
        <source>Die Spannung kann nicht gespeichert werden.
Bitte geben Sie eine Spannung von 0 bis 5000 mV ein.</source>
        <translation>The voltage cannot be saved.
Please enter a voltage from 0 to 5000 mV.</translation>
    </message>
    <message>
        <source>Die Kalibrierung konnte nicht vollständig in der QVX gespeichert werden.
Bitte prüfen Sie die Verbindung und speichern Sie erneut.</source>
        <translation>The calibration could not be saved completely in the QVX.
Please check the connection and save again.</translation>
    </message>
    <message>
        <source>Die neue Stützstelle kann nicht angelegt werden: ihre Länge läge außerhalb von 0 bis 65,535 mm.</source>
        <translation>The new support point cannot be made: its length would lie outside 0 to 65.535 mm.</translation>
    </message>
    <message>
        <source>Die neue Stützstelle kann nicht angelegt werden: ihre Länge läge außerhalb von 0 bis 25,801 * 1/10 &apos;&apos;.</source>
        <translation>The new support point cannot be made: its length would lie outside 0 to 25.801 * 1/10 &apos;&apos;.</translation>
    </message>
    <message>
        <source>Die Kalibrierung kann nicht in der QVX gespeichert werden, weil die Tabelle keine Stützstellen enthält.
Bitte geben Sie zuerst die Anzahl der Stützstellen ein (mindestens 2).</source>
        <translation>The calibration cannot be saved in the QVX because the table holds no support points.
Please first enter the number of support points (at least 2).</translation>
    </message>
    <message>
        <source>Zeit in 1/1000 Sekunden</source>
        <translation>Time in 1/1000 seconds</translation>
    </message>
    <message>
        <source>Aufnahme starten</source>
        <translation>Start recording</translation>
    </message>
    <message>
        <source>Aufnahme läuft</source>
        <translation>Recording running</translation>
    </message>
    <message>
        <source>bestehende Aufnahme neu einlesen</source>
        <translation>Read the existing recording again</translation>
    </message>
    <message>
        <source>Aufnahme wird eingelesen</source>
        <translation>Reading the recording</translation>
    </message>
    <message>
        <source>Als CSV exportieren</source>
        <translation>Export as CSV</translation>
    </message>
    <message>
        <source>Als Bild speichern</source>
        <translation>Save as picture</translation>
    </message>
    <message>
        <source>Aufnahme als CSV-Datei exportieren</source>
        <translation>Export the recording as a CSV file</translation>
    </message>
    <message>
        <source>Aufnahme als Bild speichern</source>
        <translation>Save the recording as a picture</translation>
    </message>
    <message>
        <source>CSV-Dateien (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>Die Datei &quot;%1&quot; konnte nicht geschrieben werden.</source>
        <translation>The file &quot;%1&quot; could not be written.</translation>
    </message>
    <message>
        <source>Die Aufnahme konnte nicht aus dem QVX gelesen werden: die QVX antwortet nicht.
Eine zuvor gelesene Aufnahme bleibt erhalten.</source>
        <translation>The recording could not be read from the QVX: the QVX does not answer.
A recording read before is kept.</translation>
    </message>
    <message>
        <source>Aufnahme unvollständig: %1 von %2 Messpunkten gelesen</source>
        <translation>Recording incomplete: %1 of %2 samples read</translation>
    </message>
    <message>
        <source>Nicht verbunden</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>Gateway %1, Datenport %2</source>
        <translation>Gateway %1, data port %2</translation>
    </message>
    <message>
        <source>%1 Zyklen/s</source>
        <translation>%1 cycles/s</translation>
    </message>
    <message>
        <source>Wiederholungen %1, Zeitüberschreitungen %2, Prüfsummenfehler %3</source>
        <translation>Retries %1, timeouts %2, checksum errors %3</translation>
    </message>
    <message>
        <source>Letzter Fehler um %1: %2</source>
        <translation>Last error at %1: %2</translation>
    </message>
    <message>
        <source>Kein Fehler</source>
        <translation>No error</translation>
    </message>
    <message>
        <source>Neuer Verbindungsversuch in %1 s (%2 fehlgeschlagen)</source>
        <translation>New connection attempt in %1 s (%2 failed)</translation>
    </message>
    <message>
        <source>Diagnoseprotokoll</source>
        <translation>Diagnostic log</translation>
    </message>
    <message>
        <source>Debug (jeder Rahmen hexadezimal)</source>
        <translation>Debug (every frame in hexadecimal)</translation>
    </message>
    <message>
        <source>Leeren</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Speichern...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <source>%1 Zeilen verworfen</source>
        <translation>%1 lines discarded</translation>
    </message>
    <message>
        <source>Das Protokoll konnte nicht in %1 gespeichert werden.</source>
        <translation>The log could not be saved in %1.</translation>
    </message>
    <message>
        <source>Gerätesicherung speichern...</source>
        <translation>Save device backup...</translation>
    </message>
    <message>
        <source>Gerätesicherung wiederherstellen...</source>
        <translation>Restore device backup...</translation>
    </message>
    <message>
        <source>Gerätesicherung speichern</source>
        <translation>Save device backup</translation>
    </message>
    <message>
        <source>Gerätesicherung wiederherstellen</source>
        <translation>Restore device backup</translation>
    </message>
    <message>
        <source>Es besteht keine Verbindung zur QVX.
Die Gerätesicherung ist nur mit einer verbundenen QVX möglich.</source>
        <translation>There is no connection to the QVX.
A device backup needs a connected QVX.</translation>
    </message>
    <message>
        <source>Die Gerätesicherung wurde nicht gespeichert, weil die QVX nicht vollständig gelesen werden konnte (%1).</source>
        <translation>The device backup was not saved because the QVX could not be read completely (%1).</translation>
    </message>
    <message>
        <source>Die Gerätesicherung der QVX mit der Serien Nr. %1 wurde in der Datei
%2
gespeichert.</source>
        <translation>The device backup of the QVX with the serial no. %1 was saved in the file
%2</translation>
    </message>
    <message>
        <source>Die Datei %1 enthält keine Gerätesicherung.
Eine Programmierung ohne Kalibrierung lässt sich mit &quot;Programmierung wieder einlesen&quot; übernehmen.</source>
        <translation>The file %1 holds no device backup.
A programming without calibration can be taken over with &quot;Read programming back in&quot;.</translation>
    </message>
    <message>
        <source>Die Prüfsumme der Datei %1 stimmt nicht mit ihrem Inhalt überein: die Datei wurde von Hand bearbeitet oder ist beschädigt.

Wollen Sie sie trotzdem wiederherstellen ?</source>
        <translation>The checksum of the file %1 does not match its content: the file was edited by hand or is damaged.

Do you want to restore it anyway ?</translation>
    </message>
    <message>
        <source>Die QVX konnte nicht gelesen werden (%1).
Es wurde nichts geschrieben.</source>
        <translation>The QVX could not be read (%1).
Nothing was written.</translation>
    </message>
    <message>
        <source>Die QVX stimmt bereits mit der Gerätesicherung %1 überein.
Es wurde nichts geschrieben.</source>
        <translation>The QVX already matches the device backup %1.
Nothing was written.</translation>
    </message>
    <message>
        <source>Die Wiederherstellung ändert %1 Einträge der QVX. Geschrieben wird erst nach Ihrer Bestätigung.</source>
        <translation>The restore changes %1 entries of the QVX. Nothing is written before you confirm.</translation>
    </message>
    <message>
        <source>Achtung: Die Datei stammt von einer anderen QVX (Serien Nr. %2), verbunden ist die QVX mit der Serien Nr. %1.</source>
        <translation>Attention: The file comes from another QVX (serial no. %2), the QVX connected has the serial no. %1.</translation>
    </message>
    <message>
        <source>Eintrag</source>
        <translation>Entry</translation>
    </message>
    <message>
        <source>Wert in der QVX</source>
        <translation>Value in the QVX</translation>
    </message>
    <message>
        <source>Wert in der Datei</source>
        <translation>Value in the file</translation>
    </message>
    <message>
        <source>Ergebnis</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Wiederherstellen</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>stimmt überein</source>
        <translation>matches</translation>
    </message>
    <message>
        <source>weicht ab</source>
        <translation>differs</translation>
    </message>
    <message>
        <source>geschrieben</source>
        <translation>written</translation>
    </message>
    <message>
        <source>fehlgeschlagen</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>nicht geschrieben</source>
        <translation>not written</translation>
    </message>
    <message>
        <source>Vor dem Schreiben konnte keine Sicherungskopie des bisherigen Stands der QVX angelegt werden (%1).
Es wurde nichts geschrieben.</source>
        <translation>No safety copy of the QVX&apos;s previous state could be made before writing (%1).
Nothing was written.</translation>
    </message>
    <message>
        <source>Die Gerätesicherung %1 wurde wiederhergestellt. Jeder geänderte Eintrag wurde zurückgelesen und stimmt überein.

Der vorherige Stand der QVX ist gesichert in:
%2</source>
        <translation>The device backup %1 was restored. Every changed entry was read back and matches.

The previous state of the QVX is saved in:
%2</translation>
    </message>
    <message>
        <source>Die Gerätesicherung %1 wurde geschrieben, aber beim Zurücklesen stimmen nicht alle Einträge überein (siehe Tabelle). Diese Einträge sind nicht wiederhergestellt.

Der vorherige Stand der QVX ist gesichert in:
%2</source>
        <translation>The device backup %1 was written, but not every entry matches when read back (see the table). These entries are not restored.

The previous state of the QVX is saved in:
%2</translation>
    </message>
    <message>
        <source>Die Wiederherstellung der Gerätesicherung %1 wurde abgebrochen: die Übertragung von &quot;%3&quot; ist fehlgeschlagen. Die Teile danach wurden nicht geschrieben (siehe Tabelle).

Der vorherige Stand der QVX ist gesichert in:
%2</source>
        <translation>The restore of the device backup %1 was stopped: the transfer of &quot;%3&quot; failed. The parts after it were not written (see the table).

The previous state of the QVX is saved in:
%2</translation>
    </message>
    <message>
        <source>Die Gerätesicherung %1 wurde geschrieben, konnte aber nicht zurückgelesen werden (%3). Ob die QVX sie behalten hat, ist nicht bekannt.

Der vorherige Stand der QVX ist gesichert in:
%2</source>
        <translation>The device backup %1 was written but could not be read back (%3). Whether the QVX kept it is not known.

The previous state of the QVX is saved in:
%2</translation>
    </message>
    <message>
        <source>Die Kalibrierung wurde nicht in der QVX gespeichert: vorher konnte keine Sicherungskopie des bisherigen Stands der QVX angelegt werden (%1).</source>
        <translation>The calibration was not saved in the QVX: no safety copy of the QVX&apos;s previous state could be made first (%1).</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Fortsetzen</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>Zurücksetzen</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>An Schaltflanken einrasten</source>
        <translation>Snap to switching edges</translation>
    </message>
    <message>
        <source>Cursor entfernen</source>
        <translation>Remove cursors</translation>
    </message>
    <message>
        <source>Kopieren</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Diagramm als Bild speichern</source>
        <translation>Save the chart as a picture</translation>
    </message>
    <message>
        <source>1 = Zu</source>
        <translation>1 = Closed</translation>
    </message>
    <message>
        <source>2 = A</source>
        <translation>2 = A</translation>
    </message>
    <message>
        <source>3 = B</source>
        <translation>3 = B</translation>
    </message>
    <message>
        <source>4 = C</source>
        <translation>4 = C</translation>
    </message>
    <message>
        <source>5 = Offen</source>
        <translation>5 = Open</translation>
    </message>
    <message>
        <source>0 = kein Ausgang</source>
        <translation>0 = no output</translation>
    </message>
    <message>
        <source>Cursor %1:  t = %2   Greifer %3 %4   Ub %5 V   Ausgang %6</source>
        <translation>Cursor %1:  t = %2   Gripper %3 %4   Ub %5 V   Output %6</translation>
    </message>
    <message>
        <source>Cursor 2 − Cursor 1:  Δt = %1 ms   ΔGreifer = %2 %3   ΔUb = %4 V</source>
        <translation>Cursor 2 − Cursor 1:  Δt = %1 ms   ΔGripper = %2 %3   ΔUb = %4 V</translation>
    </message>
    <message>
        <source>   Vergleich  %1</source>
        <translation>   Comparison  %1</translation>
    </message>
    <message>
        <source>Greifer</source>
        <translation>Gripper</translation>
    </message>
    <message>
        <source>Ub</source>
        <translation>Ub</translation>
    </message>
    <message>
        <source>Schaltausgänge</source>
        <translation>Switching outputs</translation>
    </message>
    <message>
        <source>Zeit ( in Sekunden )</source>
        <translation>Time ( in seconds )</translation>
    </message>
    <message>
        <source>Werte zurücksetzen</source>
        <translation>Reset values</translation>
    </message>
    <message>
        <source>Über</source>
        <translation>Over</translation>
    </message>
    <message>
        <source>Unter</source>
        <translation>Under</translation>
    </message>
    <message>
        <source>Temperatur in °C</source>
        <translation>Temperature in °C</translation>
    </message>
    <message>
        <source>Spannung in V</source>
        <translation>Voltage in V</translation>
    </message>
    <message>
        <source>Aufnahme öffnen...</source>
        <translation>Open recording...</translation>
    </message>
    <message>
        <source>Zum Vergleich öffnen...</source>
        <translation>Open for comparison...</translation>
    </message>
    <message>
        <source>Vergleich entfernen</source>
        <translation>Remove comparison</translation>
    </message>
    <message>
        <source>Aufnahme öffnen</source>
        <translation>Open recording</translation>
    </message>
    <message>
        <source>Aufnahme zum Vergleich öffnen</source>
        <translation>Open a recording for comparison</translation>
    </message>
    <message>
        <source>Aufnahme vom QVX (%1)</source>
        <translation>Recording from the QVX (%1)</translation>
    </message>
    <message>
        <source>Aufnahme vom QVX</source>
        <translation>Recording from the QVX</translation>
    </message>
    <message>
        <source>Die Datei &quot;%1&quot; konnte nicht gelesen werden.</source>
        <translation>The file &quot;%1&quot; could not be read.</translation>
    </message>
    <message>
        <source>Die Datei &quot;%1&quot; ist keine Aufnahme, die dieses Programm exportiert hat (Zeile %2: %3).
Die angezeigte Aufnahme bleibt unverändert.</source>
        <translation>The file &quot;%1&quot; is not a recording exported by this program (line %2: %3).
The recording shown stays unchanged.</translation>
    </message>
    <message>
        <source>Die Datei &quot;%1&quot; ist zu groß für eine Aufnahme (mehr als %2 KiB).
Die angezeigte Aufnahme bleibt unverändert.</source>
        <translation>The file &quot;%1&quot; is too large for a recording (more than %2 KiB).
The recording shown stays unchanged.</translation>
    </message>
    <message>
        <source>die Spaltenüberschrift &quot;time_ms,gripper_mV,ub_V,outputs&quot; (oder gripper_mm) fehlt</source>
        <translation>the column heading &quot;time_ms,gripper_mV,ub_V,outputs&quot; (or gripper_mm) is missing</translation>
    </message>
    <message>
        <source>eine Kopfzeile ist nicht &quot;# Name=Wert&quot;</source>
        <translation>a header line is not &quot;# name=value&quot;</translation>
    </message>
    <message>
        <source>die Einheit im Kopf passt nicht zur Spaltenüberschrift</source>
        <translation>the unit in the header does not match the column heading</translation>
    </message>
    <message>
        <source>ein Wert ist keine gültige Zahl</source>
        <translation>a value is not a valid number</translation>
    </message>
    <message>
        <source>die Zeit folgt nicht im Abstand von 30 ms</source>
        <translation>the time does not advance in steps of 30 ms</translation>
    </message>
    <message>
        <source>die Zeile hat nicht genau vier Werte</source>
        <translation>the line does not have exactly four values</translation>
    </message>
    <message>
        <source>mehr als 640 Messpunkte</source>
        <translation>more than 640 samples</translation>
    </message>
    <message>
        <source>keine Messpunkte</source>
        <translation>no samples</translation>
    </message>
    <message>
        <source>Zeigerinstrument</source>
        <translation>Pointer instrument</translation>
    </message>
    <message>
        <source>Eingangsspannung in V</source>
        <translation>Supply voltage in V</translation>
    </message>
    <message>
        <source>Leuchtmelder</source>
        <translation>Indicator lamp</translation>
    </message>
    <message>
        <source>Thermometer</source>
        <translation>Thermometer</translation>
    </message>
    <message>
        <source>Zeitdiagramm</source>
        <translation>Time chart</translation>
    </message>
    <message>
        <source>Ein anderer Controller ist verbunden (Seriennummer %1, zuvor %2).
Die Kalibriertabelle wurde neu gelesen; sie reicht in die Zellen der Toleranzen, die deshalb nicht gelesen wurden.</source>
        <translation>Another controller is connected (serial number %1, before %2).
The calibration table was read again; it reaches into the cells of the tolerances, which were therefore not read.</translation>
    </message>
    <message>
        <source>Hinweis: Die Spannungswerte müssen mit der Nummer der Stützstelle steigen. Stützstelle 1 ist die offene Stellung des Greifers, die höchste Stützstelle die geschlossene.
Anzahl und Längen werden eingetippt; die Nummer der Stützstelle wird mit &quot;Vor&quot; und &quot;Zurück&quot; gewählt.</source>
        <translation>Note: The voltages must rise with the number of the support point. Support point 1 is the gripper&apos;s open position, the highest support point the closed one.
The number and the lengths are typed in; the number of the support point is chosen with &quot;Next&quot; and &quot;Back&quot;.</translation>
    </message>
    <message>
        <source>PNG-Bilder (*.png);;SVG-Grafiken (*.svg)</source>
        <translation>PNG pictures (*.png);;SVG graphics (*.svg)</translation>
    </message>
    <message>
        <source>Die Aufnahme konnte nicht vollständig aus dem QVX gelesen werden: die QVX antwortet nicht oder zu langsam.
Gelesen wurden %1 von %2 Messpunkten; die Aufnahme ist als unvollständig gekennzeichnet.</source>
        <translation>The recording could not be read completely from the QVX: the QVX does not answer or answers too slowly.
%1 of %2 samples were read; the recording is marked as incomplete.</translation>
    </message>
    <message>
        <source>Textdateien (*.txt);;Alle Dateien (*)</source>
        <translation>Text files (*.txt);;All files (*)</translation>
    </message>
    <message>
        <source>Klick setzt Cursor 1 und 2, Ziehen verschiebt Cursor oder Ausschnitt; Mausrad zoomt die Zeit, Umschalt+Mausrad die Werte; Doppelklick zeigt wieder alles.</source>
        <translation>Click sets cursor 1 and 2, dragging moves a cursor or the section; the wheel zooms the time, Shift+wheel the values; double click shows all.</translation>
    </message>
    <message>
        <source>Online</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>Dialing</source>
        <translation>Dialing</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>Offline</translation>
    </message>
</context>
</TS>
