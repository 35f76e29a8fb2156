<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>btoperator::OperatorWindow</name>
    <message>
        <source>Bluetooth test station %1</source>
        <translation>Bluetooth-Prüfplatz %1</translation>
    </message>
    <message>
        <source>Sign in: scan your badge or type your name, then Enter</source>
        <translation>Anmelden: Ausweis scannen oder Namen eingeben, dann Enter</translation>
    </message>
    <message>
        <source>Scan a serial (A:SN123 tests on slot A) - F1..F%1 abort a slot, Esc aborts all, F9 supervisor release</source>
        <translation>Seriennummer scannen (A:SN123 prüft in Nest A) - F1..F%1 bricht ein Nest ab, Esc alle, F9 Freigabe durch den Schichtleiter</translation>
    </message>
    <message>
        <source>Abort the runs on every slot? Enter: yes, Esc: no</source>
        <translation>Prüfungen in allen Nestern abbrechen? Enter: ja, Esc: nein</translation>
    </message>
    <message>
        <source>Supervisor release: scan the supervisor&apos;s badge (Esc: cancel)</source>
        <translation>Freigabe: Ausweis des Schichtleiters scannen (Esc: Abbruch)</translation>
    </message>
    <message>
        <source>Supervisor %1: scan the serial to release (Esc: cancel)</source>
        <translation>Schichtleiter %1: freizugebende Seriennummer scannen (Esc: Abbruch)</translation>
    </message>
    <message>
        <source>Aborting the runs on every slot</source>
        <translation>Prüfungen in allen Nestern werden abgebrochen</translation>
    </message>
    <message>
        <source>The station cannot start: %1</source>
        <translation>Der Prüfplatz kann nicht starten: %1</translation>
    </message>
    <message>
        <source>Signed in: %1</source>
        <translation>Angemeldet: %1</translation>
    </message>
    <message>
        <source>%1 is tested on slot %2</source>
        <translation>%1 wird in Nest %2 geprüft</translation>
    </message>
    <message numerus="yes">
        <source>%1 failed %n time(s): TO REPAIR, not tested again until a supervisor releases it (F9)</source>
        <translation>
            <numerusform>%1 ist %n-mal durchgefallen: ZUR REPARATUR, keine Prüfung mehr bis zur Freigabe durch den Schichtleiter (F9)</numerusform>
            <numerusform>%1 ist %n-mal durchgefallen: ZUR REPARATUR, keine Prüfung mehr bis zur Freigabe durch den Schichtleiter (F9)</numerusform>
        </translation>
    </message>
    <message>
        <source>Every slot is busy: %1 was not started</source>
        <translation>Alle Nester sind belegt: %1 wurde nicht gestartet</translation>
    </message>
    <message>
        <source>Slot %1 is busy: %2 was not started</source>
        <translation>Nest %1 ist belegt: %2 wurde nicht gestartet</translation>
    </message>
    <message>
        <source>This station has no slot %1: %2 was not started</source>
        <translation>Dieser Prüfplatz hat kein Nest %1: %2 wurde nicht gestartet</translation>
    </message>
    <message>
        <source>No serial in the scan: %1</source>
        <translation>Keine Seriennummer im Scan: %1</translation>
    </message>
    <message>
        <source>%1 released by %2: it may be tested again</source>
        <translation>%1 freigegeben von %2: darf wieder geprüft werden</translation>
    </message>
    <message>
        <source>Nothing aborted</source>
        <translation>Nichts abgebrochen</translation>
    </message>
    <message>
        <source>Release cancelled</source>
        <translation>Freigabe abgebrochen</translation>
    </message>
    <message>
        <source>Aborting the run on slot %1</source>
        <translation>Prüfung in Nest %1 wird abgebrochen</translation>
    </message>
    <message>
        <source>Operator: not signed in</source>
        <translation>Werker: nicht angemeldet</translation>
    </message>
    <message>
        <source>Operator: %1</source>
        <translation>Werker: %1</translation>
    </message>
    <message>
        <source>Station %1</source>
        <translation>Prüfplatz %1</translation>
    </message>
    <message>
        <source>Plan: %1 (SHA-256 %2)</source>
        <translation>Prüfplan: %1 (SHA-256 %2)</translation>
    </message>
    <message>
        <source>Test set: not answered yet</source>
        <translation>Messgerät: noch keine Antwort</translation>
    </message>
    <message>
        <source>Test set: %1</source>
        <translation>Messgerät: %1</translation>
    </message>
    <message>
        <source>Database: %1</source>
        <translation>Datenbank: %1</translation>
    </message>
    <message>
        <source>Tested %1    Passed %2    Failed %3    Errors %4    First-pass yield %5 %</source>
        <translation>Geprüft %1    i.O. %2    n.i.O. %3    Fehler %4    Erstausbeute %5 %</translation>
    </message>
    <message>
        <source>%1 is being tested on slot %2 already</source>
        <translation>%1 wird bereits in Nest %2 geprüft</translation>
    </message>
    <message>
        <source>Slot %1 cannot test: %2 was not started</source>
        <translation>Nest %1 kann nicht prüfen: %2 wurde nicht gestartet</translation>
    </message>
    <message numerus="yes">
        <source>%n run(s) waiting in the spool</source>
        <translation>
            <numerusform>%n Lauf wartet im Zwischenspeicher</numerusform>
            <numerusform>%n Läufe warten im Zwischenspeicher</numerusform>
        </translation>
    </message>
    <message>
        <source>connected</source>
        <translation>verbunden</translation>
    </message>
</context>
<context>
    <name>btoperator::SlotTile</name>
    <message>
        <source>Abort (%1)</source>
        <translation>Abbrechen (%1)</translation>
    </message>
    <message>
        <source>READY</source>
        <translation>BEREIT</translation>
    </message>
    <message>
        <source>TESTING</source>
        <translation>PRÜFUNG</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>i.O.</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>n.i.O.</translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>FEHLER</translation>
    </message>
    <message>
        <source>ABORTED</source>
        <translation>ABGEBROCHEN</translation>
    </message>
    <message>
        <source>TO REPAIR</source>
        <translation>ZUR REPARATUR</translation>
    </message>
    <message>
        <source>Step %1 of %2: %3</source>
        <translation>Schritt %1 von %2: %3</translation>
    </message>
    <message>
        <source>Done in %1 s</source>
        <translation>Fertig in %1 s</translation>
    </message>
    <message numerus="yes">
        <source>Failed %n time(s): a supervisor must release it (F9)</source>
        <translation>
            <numerusform>%n-mal durchgefallen: Freigabe durch den Schichtleiter nötig (F9)</numerusform>
            <numerusform>%n-mal durchgefallen: Freigabe durch den Schichtleiter nötig (F9)</numerusform>
        </translation>
    </message>
    <message>
        <source>Released by %1: scan it again</source>
        <translation>Freigegeben von %1: erneut scannen</translation>
    </message>
</context>
</TS>
