#pragma once

#include "bar_grid.h"

#include <QString>

class Clip;
class MidiClip;
class Session;

/**
 * TempoAndBarsFlow: the window's Find Tempo and Bars, for a melody sung without a click.
 *
 * It finds the tempo, meter and first downbeat of the melody's notes at their sung timing
 * (BarPlacement, as the make-song command does), sets them on the song with a tempo node per
 * bar for a drifting take, and moves the melody and the recording together so that the first
 * downbeat falls on a bar line (notes before it become a pickup in the bar before). Every note
 * keeps its place in the recording, whatever the tempo map was before. The whole change is one
 * undoable step. GUI thread only.
 */
class TempoAndBarsFlow
{
public:
    /** The recording may be none (a melody without audio only moves itself). */
    TempoAndBarsFlow(Session& session, MidiClip& melody, Clip* recording);

    /**
     * Finds and applies the bars. The grid is invalid (and nothing changes) when the melody has
     * too few notes to tell.
     */
    BarGrid run();

    /** What was found, for the status bar. */
    static QString foundText(const BarGrid& grid);

private:
    void moveRecording(double shift);

    Session& m_session;
    MidiClip& m_melody;
    Clip* m_recording;
};
