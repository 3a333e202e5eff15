<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>AudioFormatRegistry</name>
    <message>
        <source>Audio files (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All files (*.*)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChordEditDialog</name>
    <message>
        <source>Fix the chord (it cannot be replaced by chord finding algorithm)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chord Editing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chord Root Note</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chord Root Accidental</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chord Extension (Type)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ClipArea</name>
    <message>
        <source>Press Record and sing, hum or play your melody,
or open an audio or MIDI file (File menu, or drop it here).

Then: Audio to MIDI → Make Chords → Make Song.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>KeyEditDialog</name>
    <message>
        <source>Select Key for Chord Finding Algorithm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Key Root Note</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Key Root Accidental</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Key Extension (Type)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fix</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auto</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Press [Fix] to fix the selected Key or press [Auto] to use suggested Key
every time the chord finding algorithm will be processed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
Suggested key is &lt;b&gt;%1&lt;/b&gt; (based on MIDI melody analysis)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Ready</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not available in this version of Cantova yet.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Midi:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 Hz</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The help page was not found:

&quot;%1&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The help page could not be opened:

&quot;%1&quot;

Open it in a web browser.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cantova
Version %1

Sing or play a melody; Cantova writes it down, finds its chords and plays it back with a band.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio files (*.wav *.aif *.aiff *.flac *.ogg *.w64 *.mp3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Untitled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Untitled.mid</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The current audio file has been changed:

&quot;%1&quot;

Do you want to save the changes?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close Audio</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The current Midi file has been changed:

&quot;%1&quot;

Do you want to save the changes?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opening audio files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Audio File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file was not loaded:

&quot;%1&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save Audio File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio files (*.%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file already exists:

&quot;%1&quot;

Do you want to replace it?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file was not copied:

&quot;%1&quot;

to &quot;%2&quot;

</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Midi File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Midi files (*.mid)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save Midi File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Style File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Style files (*.sty)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio to MIDI</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing to transcribe.
Please record your audio melody or open an audio file.
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The Audio or MIDI devices could not be initialized.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Playback</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recording</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Current playback time (frames)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Current playback time (hour:min:sec.msec)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Current playback time (bar.beat.tick)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Deleting notes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Make</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Play</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show frames</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show clock time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show bars.beats.ticks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time Signature (Meter)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> bpm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Current tempo (BPM - beat per minute)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Snap/beat</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Current track name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Song modification state</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Song record state</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Song muting state</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Song soloing state</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Song looping state</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Song total time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Song sample rate</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MeterEditDialog</name>
    <message>
        <source>Time Signature (Meter) Editing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Beats per bar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Beat unit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MidiClip</name>
    <message>
        <source>(format %1)
MIDI:	</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Track %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Channel %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, %1 tracks, %2 tpqn</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (%1% vol)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MidiOutputs</name>
    <message>
        <source>Built-in General MIDI synthesizer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2 (ALSA %3:%4)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>OptionsDialog</name>
    <message>
        <source>Options - Cantova</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio Latency (in seconds)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio Playback Latency in Seconds (Max: 2 sec.)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio Recording Latency in Seconds (Max: 2 sec.)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Playback Latency:
used for Audio/Midi playback sync.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recommended: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recording Latency:
used for Audio/Midi visual sync.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI output</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Where melody, accompaniment and metronome are played</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (not available)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI output:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Warning</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Some settings have been changed.

Do you want to apply the changes?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>

Do you want to copy this message to the Clipboard?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>create bus</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>delete bus</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>update bus</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>bus gain</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>bus pan</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>bus pass-through</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name:	%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start/End:	%1 / %2
Offs/Length:	%3 / %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File:	%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>session tempo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>session loop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>session punch</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>session properties</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>add tempo node</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>remove tempo node</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>update tempo node</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>add track</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>remove track</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>import track</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>move track</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>resize track</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>track properties</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>track record</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>track mute</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>track solo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>record clip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>track gain</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>track pan</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>track monitor</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SectionEditDialog</name>
    <message>
        <source>Fix all sections (they cannot be moved according to Intro/Ending)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Section Editing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Section</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SongFile</name>
    <message>
        <source>The file was not loaded:

&quot;%1&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>

The MIDI format %1 is not supported.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>

The tempo track was not loaded.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This MIDI file is not created with Cantova.
The first track will be loaded as a melody track.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>

The track %1 was not loaded.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The style file does not exist:

&quot;%1&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file was not saved:

&quot;%1&quot;</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TimeRuler</name>
    <message>
        <source>Click to move the play position</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TimeScale</name>
    <message>
        <source>None</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Beat</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TrackHeader</name>
    <message>
        <source>Mute this track</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play this track alone (solo)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(no name)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TracksView</name>
    <message>
        <source>Zoom out (Ctrl+wheel)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom in (Ctrl+wheel)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
