<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_GB">
<context>
    <name>CLanguageSetupDlg</name>
    <message>
        <source>deutsche Installation</source>
        <translation>deutsche Installation</translation>
    </message>
    <message>
        <source>english installation</source>
        <translation>english installation</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>LauncherTexts</name>
    <message>
        <source>ENG</source>
        <extracomment>language marker: GER selects the German installation as preset</extracomment>
        <translation>GER</translation>
    </message>
    <message>
        <source>deutsch</source>
        <extracomment>folder of the German installer</extracomment>
        <translation>deutsch</translation>
    </message>
    <message>
        <source>english</source>
        <extracomment>folder of the English installer</extracomment>
        <translation>english</translation>
    </message>
</context>
</TS>
