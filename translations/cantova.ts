<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>AudioFileFlow</name>
    <message>
        <source>The file does not exist: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file cannot be read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The audio data cannot be read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load Audio File</source>
        <translation type="unfinished"></translation>
    </message>
</context>
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
    <name>AudioToMidi</name>
    <message>
        <source>Transcribing MIDI notes from Audio recordings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing to transcribe.
Please record your audio melody or open an audio file.
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio to MIDI</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The current Midi file has been changed:

&quot;%1&quot;

Do you want to save the changes?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>audio2midi: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot read the audio data from file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Abort</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot transcribe any MIDI notes from this audio.
</source>
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
    <name>EventLaneScale</name>
    <message>
        <source>Controller %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pitch bend</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velocity</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Forward</source>
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
    <name>LeadSheetExport</name>
    <message>
        <source>Export &amp;Lead Sheet...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write the melody with its chords as a lead sheet (MusicXML)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Untitled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export Lead Sheet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MusicXML files (*.musicxml *.mxl)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file already exists:

&quot;%1&quot;

Do you want to replace it?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The song has no melody notes for a lead sheet.</source>
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
    <message>
        <source>There is no audio output, so songs cannot be played here. Songs can still be made and saved.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Songs, recordings and styles (*.mid %1 *.sty)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Style files (*.sty *.STY)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is no melody to find the tempo and bars of.
Please transcribe your recording or open a MIDI melody first.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The melody comes from an audio file that may have been sung without the metronome.

Do you want to find its tempo, meter and first bar before the song is made?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The Audio or MIDI devices could not be initialized.

Check that a sound device is connected and not used by another program.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No audio input device is available</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check that the sound device is still connected, then press Play to go on.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The audio device stopped working, so the recording stopped. What was recorded until then is kept. %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The audio device stopped working, so playing stopped. The song is as it was. %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open &amp;Recent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The MIDI output could not be opened, so the melody and the chords are silent; the metronome clicks through the audio output and audio still plays.

%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Simple Sections</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The sections are fixed, so they stay as they are; the choice applies once they are no longer fixed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exit this program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio Latency Options...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change general program options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete selected notes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete [Del]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete selected notes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Play/Pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play/Pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play/Pause [space]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transport play/pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Record</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record audio input [Ctrl+R]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transport record</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Metronome On/Off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Metronome On/Off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show information about this program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About &amp;Qt...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About Qt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show information about the Qt toolkit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Create a new audio file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Create a new MIDI file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open an audio file...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open an audio file...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open a MIDI file...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open a style file...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save an audio file as...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Save a MIDI file as...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save a MIDI file as...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transcribe audio recording to MIDI melody</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio to MIDI</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Make chords from MIDI melody</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Make Chords</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Make Song</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find Tempo and Bars</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find the tempo, meter and first bar of a melody sung without the metronome</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Make Song places an intro, one main part and an ending only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sections: an intro, one main part and an ending instead of parts and fills that follow the melody&apos;s phrases</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Stop/Backward</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop/Backward</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio On/Off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI melody (notes) On/Off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Arrangement (chords) On/Off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Note editing On/Off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;How to&quot; Guides...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Help Contents...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;New Song</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New Song</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start a new song</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start a new song with an empty recording and melody</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Undo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Undo the last change</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Redo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Redo the last undone change</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open a song, a recording or a style [Ctrl+O]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open a MIDI song, an audio recording or a style file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save the song [Ctrl+S]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save the song to its own file</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MelodyTrackDialog</name>
    <message>
        <source>Melody Track</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This MIDI file is not created with Cantova.
Which of its tracks holds the melody?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Track</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Channel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Instrument</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Range</source>
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
    <name>MidiImport</name>
    <message>
        <source>Drums</source>
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
    <name>NoteEditor</name>
    <message>
        <source>Zoom out (horizontal)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom reset (horizontal)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom in (horizontal)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom in (vertical)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom reset (vertical)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom out (vertical)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>NoteKeyboard</name>
    <message>
        <source>Note:	%1
MIDI On:	%2
Frequency:	%3Hz</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>NoteView</name>
    <message>
        <source>Note:	%1
MIDI On:	%2
Velocity:	%3
Time:	%4
Duration:	%5</source>
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
    <message>
        <source>Transcription</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>How Audio to MIDI rounds a sung pitch to a note</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Follow the singer&apos;s tuning</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>One tuning for the whole take</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tuning:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Make Chords</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>How Make Chords chooses the chords of the melody</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Progressions over the whole melody</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Classic, bar by bar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chord finder:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stretch the recording when the tempo changes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A new tempo plays the recording faster or slower at the same pitch, so it stays with the song&apos;s bars; off, the recording keeps its own speed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recording</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PianoRoll</name>
    <message>
        <source>Key Signature</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transpose piano-roll view to Cmaj/Amin key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transpose piano-roll view (semitones)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open arrangement style file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Section</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chord</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Suggested
Chords</source>
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
    <message>
        <source>transcription mark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
Audio:	%1 channels, %2 Hz</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (%1 dB)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
	(%1% time stretch)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
	(%1% pitch shift)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 ms at %2 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The disk could not keep up with the recording: %1 ms of it were lost and are silent (%2).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The disk is full: the recording stopped after %1 s. What was recorded until then is kept.</source>
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
    <message>
        <source>

The file has no notes to take as a melody.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>

The file holds only drums (channel 10): there is no melody to take.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SongLane</name>
    <message>
        <source>Sections and chords of the song (edit them in the piano roll)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StyleBrowser</name>
    <message>
        <source>&amp;Preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Load</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Style Browser</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Style</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Meter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tempo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Selecting a style plays its Main A over %1.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StyleBrowserFlow</name>
    <message>
        <source>Style &amp;Browser...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose a style by genre, hear it and load it</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TempoAndBarsFlow</name>
    <message>
        <source>Too few notes to find the tempo and bars of the melody.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Found %1 beats per minute in %2/%3, first downbeat at %4 s (confidence %5%)%6</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, a tempo per bar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find Tempo and Bars</source>
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
    <message>
        <source>The key of the song</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Key: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>laneEditing</name>
    <message>
        <source>Chord Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Section Edit</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>styleLoader</name>
    <message>
        <source>The style &quot;%1&quot; has no &quot;Main A&quot; section that plays notes:
the song has no accompaniment.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
