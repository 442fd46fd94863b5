<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>batchui::Messages</name>
    <message numerus="yes">
        <source>Reading the folder was cancelled: %Ln map(s) are listed.</source>
        <translation>
            <numerusform>Reading the folder was cancelled: %Ln map is listed.</numerusform>
            <numerusform>Reading the folder was cancelled: %Ln maps are listed.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Delete %Ln file(s)?</source>
        <translation>
            <numerusform>Delete %Ln file?</numerusform>
            <numerusform>Delete %Ln files?</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ui::ReplaceQuestion</name>
    <message numerus="yes">
        <source>%n of the files to write already exist(s). Replace?</source>
        <translation>
            <numerusform>%n of the files to write already exists. Replace it?</numerusform>
            <numerusform>%n of the files to write already exist. Replace them?</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>batchui::BatchWindow</name>
    <message numerus="yes">
        <source>%L1 of %Ln map(s) checked</source>
        <translation>
            <numerusform>%L1 of %Ln map checked</numerusform>
            <numerusform>%L1 of %Ln maps checked</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 as a device of the profile %2: %Ln map(s)</source>
        <translation>
            <numerusform>%1 as a device of the profile %2: %Ln map</numerusform>
            <numerusform>%1 as a device of the profile %2: %Ln maps</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %Ln Custom Maps image(s).</source>
        <translation>
            <numerusform>, %Ln Custom Maps image.</numerusform>
            <numerusform>, %Ln Custom Maps images.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ui::EditorWindow</name>
    <message numerus="yes">
        <source>The map was written as %Ln volume(s) in %1; the first one is loaded.</source>
        <translation>
            <numerusform>The map was written as %Ln volume in %1 and is loaded.</numerusform>
            <numerusform>The map was written as %Ln volumes in %1; the first one is loaded.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln tile(s), zooms %1.</source>
        <translation>
            <numerusform>%Ln tile, zooms %1.</numerusform>
            <numerusform>%Ln tiles, zooms %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln tile(s) of coarser zooms lie over no volume and were left out.</source>
        <translation>
            <numerusform>%Ln tile of coarser zooms lies over no volume and was left out.</numerusform>
            <numerusform>%Ln tiles of coarser zooms lie over no volume and were left out.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Level %1: %Ln tile(s)</source>
        <translation>
            <numerusform>Level %1: %Ln tile</numerusform>
            <numerusform>Level %1: %Ln tiles</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Exported %Ln tile(s), zooms %1, to %2.</source>
        <translation>
            <numerusform>Exported %Ln tile, zooms %1, to %2.</numerusform>
            <numerusform>Exported %Ln tiles, zooms %1, to %2.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Level %1 exported as %Ln Custom Maps image(s), at most %2 per file:</source>
        <translation>
            <numerusform>Level %1 exported as %Ln Custom Maps image, at most %2 per file:</numerusform>
            <numerusform>Level %1 exported as %Ln Custom Maps images, at most %2 per file:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 (%Ln image(s))</source>
        <translation>
            <numerusform>%1 (%Ln image)</numerusform>
            <numerusform>%1 (%Ln images)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ui::DeviceCheckLine</name>
    <message numerus="yes">
        <source>%Ln warning(s)</source>
        <translation>
            <numerusform>%Ln warning</numerusform>
            <numerusform>%Ln warnings</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln error(s)</source>
        <translation>
            <numerusform>%Ln error</numerusform>
            <numerusform>%Ln errors</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln note(s)</source>
        <translation>
            <numerusform>%Ln note</numerusform>
            <numerusform>%Ln notes</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ui::DeviceReady</name>
    <message numerus="yes">
        <source>%Ln progressive tile(s) written as baseline</source>
        <translation>
            <numerusform>%Ln progressive tile written as baseline</numerusform>
            <numerusform>%Ln progressive tiles written as baseline</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln tile(s) stripped of their FF D8</source>
        <translation>
            <numerusform>%Ln tile stripped of its FF D8</numerusform>
            <numerusform>%Ln tiles stripped of their FF D8</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ui::ConvertDialogs</name>
    <message numerus="yes">
        <source>Level %1: %Ln image(s)</source>
        <translation>
            <numerusform>Level %1: %Ln image</numerusform>
            <numerusform>Level %1: %Ln images</numerusform>
        </translation>
    </message>
</context>
</TS>
