<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- A catalogue placed beside the program, which must win over the compiled-in one. -->
<TS version="2.1" language="pl_PL" sourcelanguage="en">
<context>
    <name>Updater_Changelog_MainWindow</name>
    <message>
        <source>Download now</source>
        <translation>Pobierz (katalog obok programu)</translation>
    </message>
</context>
</TS>
