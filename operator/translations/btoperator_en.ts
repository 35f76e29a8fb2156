<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>btoperator::OperatorWindow</name>
    <message numerus="yes">
        <source>%1 failed %n time(s): TO REPAIR, not tested again until a supervisor releases it (F9)</source>
        <translation>
            <numerusform>%1 failed %n time: TO REPAIR, not tested again until a supervisor releases it (F9)</numerusform>
            <numerusform>%1 failed %n times: TO REPAIR, not tested again until a supervisor releases it (F9)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n run(s) waiting in the spool</source>
        <translation>
            <numerusform>%n run waiting in the spool</numerusform>
            <numerusform>%n runs waiting in the spool</numerusform>
        </translation>
    </message>
    <message>
        <source>connected</source>
        <translation>connected</translation>
    </message>
    <message>
        <source>Bluetooth test station %1</source>
        <translation>Bluetooth test station %1</translation>
    </message>
    <message>
        <source>Sign in: scan your badge or type your name, then Enter</source>
        <translation>Sign in: scan your badge or type your name, then Enter</translation>
    </message>
    <message>
        <source>Scan a serial (A:SN123 tests on slot A) - F1..F%1 abort a slot, Esc aborts all, F9 supervisor release</source>
        <translation>Scan a serial (A:SN123 tests on slot A) - F1..F%1 abort a slot, Esc aborts all, F9 supervisor release</translation>
    </message>
    <message>
        <source>Abort the runs on every slot? Enter: yes, Esc: no</source>
        <translation>Abort the runs on every slot? Enter: yes, Esc: no</translation>
    </message>
    <message>
        <source>Supervisor release: scan the supervisor&apos;s badge (Esc: cancel)</source>
        <translation>Supervisor release: scan the supervisor's badge (Esc: cancel)</translation>
    </message>
    <message>
        <source>Supervisor %1: scan the serial to release (Esc: cancel)</source>
        <translation>Supervisor %1: scan the serial to release (Esc: cancel)</translation>
    </message>
    <message>
        <source>Aborting the runs on every slot</source>
        <translation>Aborting the runs on every slot</translation>
    </message>
    <message>
        <source>The station cannot start: %1</source>
        <translation>The station cannot start: %1</translation>
    </message>
    <message>
        <source>Signed in: %1</source>
        <translation>Signed in: %1</translation>
    </message>
    <message>
        <source>%1 is tested on slot %2</source>
        <translation>%1 is tested on slot %2</translation>
    </message>
    <message>
        <source>Every slot is busy: %1 was not started</source>
        <translation>Every slot is busy: %1 was not started</translation>
    </message>
    <message>
        <source>Slot %1 is busy: %2 was not started</source>
        <translation>Slot %1 is busy: %2 was not started</translation>
    </message>
    <message>
        <source>%1 is being tested on slot %2 already</source>
        <translation>%1 is being tested on slot %2 already</translation>
    </message>
    <message>
        <source>Slot %1 cannot test: %2 was not started</source>
        <translation>Slot %1 cannot test: %2 was not started</translation>
    </message>
    <message>
        <source>This station has no slot %1: %2 was not started</source>
        <translation>This station has no slot %1: %2 was not started</translation>
    </message>
    <message>
        <source>No serial in the scan: %1</source>
        <translation>No serial in the scan: %1</translation>
    </message>
    <message>
        <source>%1 released by %2: it may be tested again</source>
        <translation>%1 released by %2: it may be tested again</translation>
    </message>
    <message>
        <source>Nothing aborted</source>
        <translation>Nothing aborted</translation>
    </message>
    <message>
        <source>Release cancelled</source>
        <translation>Release cancelled</translation>
    </message>
    <message>
        <source>Aborting the run on slot %1</source>
        <translation>Aborting the run on slot %1</translation>
    </message>
    <message>
        <source>Operator: not signed in</source>
        <translation>Operator: not signed in</translation>
    </message>
    <message>
        <source>Operator: %1</source>
        <translation>Operator: %1</translation>
    </message>
    <message>
        <source>Station %1</source>
        <translation>Station %1</translation>
    </message>
    <message>
        <source>Plan: %1 (SHA-256 %2)</source>
        <translation>Plan: %1 (SHA-256 %2)</translation>
    </message>
    <message>
        <source>Test set: not answered yet</source>
        <translation>Test set: not answered yet</translation>
    </message>
    <message>
        <source>Test set: %1</source>
        <translation>Test set: %1</translation>
    </message>
    <message>
        <source>Database: %1</source>
        <translation>Database: %1</translation>
    </message>
    <message>
        <source>Tested %1    Passed %2    Failed %3    Errors %4    First-pass yield %5 %</source>
        <translation>Tested %1    Passed %2    Failed %3    Errors %4    First-pass yield %5 %</translation>
    </message>
</context>
<context>
    <name>btoperator::SlotTile</name>
    <message numerus="yes">
        <source>Failed %n time(s): a supervisor must release it (F9)</source>
        <translation>
            <numerusform>Failed %n time: a supervisor must release it (F9)</numerusform>
            <numerusform>Failed %n times: a supervisor must release it (F9)</numerusform>
        </translation>
    </message>
    <message>
        <source>Abort (%1)</source>
        <translation>Abort (%1)</translation>
    </message>
    <message>
        <source>READY</source>
        <translation>READY</translation>
    </message>
    <message>
        <source>TESTING</source>
        <translation>TESTING</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>PASS</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>FAIL</translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>ERROR</translation>
    </message>
    <message>
        <source>ABORTED</source>
        <translation>ABORTED</translation>
    </message>
    <message>
        <source>TO REPAIR</source>
        <translation>TO REPAIR</translation>
    </message>
    <message>
        <source>Step %1 of %2: %3</source>
        <translation>Step %1 of %2: %3</translation>
    </message>
    <message>
        <source>Done in %1 s</source>
        <translation>Done in %1 s</translation>
    </message>
    <message>
        <source>Released by %1: scan it again</source>
        <translation>Released by %1: scan it again</translation>
    </message>
</context>
</TS>
