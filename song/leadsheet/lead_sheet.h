#pragma once

#include <QString>
#include <cstdint>
#include <vector>

/*
 * A lead sheet: the melody in notation with its chord symbols, key, meters, tempo and section
 * marks, as the exporter writes it. LeadSheetSong holds what is read from a song (ticks of the
 * melody track); LeadSheet holds the measures the quantizer made of it (divisions of a quarter
 * note). Plain data, safe to build and read on any ordinary thread.
 */

/** The song as the lead sheet needs it, in ticks of ticksPerQuarter. */
struct LeadSheetSong
{
    struct Note
    {
        uint32_t start = 0;
        uint32_t end = 0;
        int key = 60; // MIDI key
    };
    /** A meter and tempo that start at a bar line. */
    struct Meter
    {
        uint32_t tick = 0;
        int beats = 4;
        int unit = 2; // note value of a beat, power-of-two exponent (2 = quarter)
        double quartersPerMinute = 120.0;
    };
    /** A chord (its name as the chord lane holds it) or a section name at a tick. */
    struct Mark
    {
        uint32_t tick = 0;
        QString text;
    };

    QString title;
    int ticksPerQuarter = 960;
    int keySignature = 0; // sharps (positive) or flats (negative), -7..+7
    bool minor = false;
    std::vector<Note> notes;    // in any order; overlapping notes are allowed
    std::vector<Meter> meters;  // by tick, the first at tick 0; empty means 4/4 at 120
    std::vector<Mark> chords;   // by tick
    std::vector<Mark> sections; // by tick
    uint32_t endTick = 0;       // the song lasts at least this long
};

/** A note, rest or note part of one measure, in divisions of a quarter note. */
struct LeadSheetItem
{
    bool isRest = true;
    bool isMeasureRest = false; // a rest filling the whole measure (written without a type)
    int key = 60;
    int position = 0; // from the start of the measure's full bar
    int duration = 0;
    int type = 0; // note value as the exponent of a whole note: 0 whole, 1 half, 2 quarter ...
    int dots = 0;
    bool tieToNext = false;
    bool tieFromPrevious = false;
    bool isTriplet = false; // three in the time of two
    bool startsTuplet = false;
    bool endsTuplet = false;
};

/** A chord symbol or rehearsal mark at a position of a measure. */
struct LeadSheetMark
{
    int position = 0; // from the start of the measure's full bar
    QString text;
};

struct LeadSheetMeasure
{
    int number = 1;
    bool isPickup = false; // incomplete first measure: starts at firstPosition
    int firstPosition = 0; // where the written part of the bar starts (pickups only)
    int length = 0;        // full bar length in divisions
    bool hasMeter = false; // the time signature is written (first measure and changes)
    int beats = 4;
    int beatType = 4;
    bool hasTempo = false;
    double quartersPerMinute = 120.0;
    bool isLast = false;
    std::vector<LeadSheetItem> items;
    std::vector<LeadSheetMark> chords;
    std::vector<LeadSheetMark> sections;
};

struct LeadSheet
{
    QString title;
    int divisions = 12; // per quarter note
    int keySignature = 0;
    bool minor = false;
    bool octaveBelow = false; // treble clef sounding an octave lower, for a low voice
    std::vector<LeadSheetMeasure> measures;
    /** The song was longer than kMaxMeasures; the measures stop there. */
    bool isCut = false;

    static constexpr int kMaxMeasures = 10000;
};
