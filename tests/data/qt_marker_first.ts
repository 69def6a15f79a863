<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>Cancel</source>
        <translation>cancel-from-first</translation>
    </message>
</context>
</TS>
