<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- Test catalogue: the plug-in's three texts, each beside a decoy with the
     same source and another comment, so a text asked for under the wrong
     comment shows. -->
<TS version="2.1" language="pl_PL">
<context>
    <name>translation</name>
    <message>
        <source>show online</source>
        <comment>filter name</comment>
        <translation>pokaż dostępnych</translation>
    </message>
    <message>
        <source>show online</source>
        <comment>menu item</comment>
        <translation>Pokaż dostępność</translation>
    </message>
    <message>
        <source>Show only online buddies in roster</source>
        <comment>plugin description</comment>
        <translation>Pokazuje na liście kontaktów tylko dostępne osoby</translation>
    </message>
    <message>
        <source>filter</source>
        <comment>service name</comment>
        <translation>filtr</translation>
    </message>
    <message>
        <source>filter</source>
        <comment>verb</comment>
        <translation>filtruj</translation>
    </message>
</context>
</TS>
