#pragma once

#include "lead_sheet.h"

#include <vector>

/**
 * LeadSheetQuantizer: turns a song's melody into measures a singer can read, without touching
 * the song.
 *
 * Every note start and end moves to the nearest sixteenth or eighth-note triplet of its bar,
 * whichever grid fits the bar's starts and ends better (triplets only in meters counted in
 * quarter notes, and only when they fit clearly better). The melody becomes one voice: of notes
 * starting together the highest stays, and a note ends where the next begins, or there when only
 * one step of silence (a breath) would stand between them. Notes are split at bar lines and into
 * written values with ties (NoteValues), rests fill every gap, a bar without notes is one measure
 * rest. A song whose first bar begins with at least a beat of silence starts with that bar as an
 * incomplete pickup measure; its chord and section move to the pickup's first note. Chords and
 * sections move to the nearest sixteenth. Plain data in and out; safe from any ordinary thread.
 */
class LeadSheetQuantizer
{
public:
    static LeadSheet quantize(const LeadSheetSong& song);

    /** Divisions per quarter note: 12, doubled for each unit shorter than a sixteenth. */
    static int divisionsFor(const LeadSheetSong& song);

private:
    struct Bar
    {
        int start = 0; // absolute, in divisions
        int length = 0;
        int beats = 4;
        int unit = 2;
        double quartersPerMinute = 120.0;
        bool triplets = false;
    };
    struct Note
    {
        int start = 0;
        int end = 0;
        int key = 60;
    };
    struct PlacedMark
    {
        int position = 0; // absolute, in divisions
        QString text;
    };

    explicit LeadSheetQuantizer(const LeadSheetSong& song);

    double toDivisions(uint32_t tick) const;
    double songEnd() const;
    void makeBars();
    void chooseGrids();
    size_t barIndexAt(double position) const;
    int quantize(double position) const;
    void makeMelodyLine();
    std::vector<PlacedMark> placeMarks(const std::vector<LeadSheetSong::Mark>& marks) const;
    int pickupStart() const;
    bool isLowVoice() const;
    LeadSheetMeasure makeMeasure(size_t index, int firstPosition) const;
    void addNotes(LeadSheetMeasure& measure, const Bar& bar, int from) const;
    static void addMarks(const Bar& bar, int from, const std::vector<PlacedMark>& marks,
                         std::vector<LeadSheetMark>& into);
    LeadSheet build() const;

    const LeadSheetSong& m_song;
    int m_divisions = 12;
    std::vector<Bar> m_bars;
    std::vector<Note> m_notes; // one voice, by start
    std::vector<PlacedMark> m_chords;
    std::vector<PlacedMark> m_sections;
    bool m_isCut = false;
};
