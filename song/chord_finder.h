#pragma once

#include <QString>
#include <array>
#include <cstdint>

class MidiEvent;
class MidiSequence;

/**
 * ChordFinder: picks one chord per bar for a melody, bar after bar.
 *
 * It works in the song's key moved to C major or A minor, with a vocabulary of nineteen chords:
 * chords whose tones the bar's notes sound score by the notes' strength and coverage, a few
 * characteristic notes and the usual progressions from the previous bar's chord add bonuses.
 * Tables, bonuses and tie-breaks are exact rules the chords of users' songs depend on. The bar
 * stores have fixed capacities, so a run allocates nothing per bar. GUI thread (one run at a
 * time per object).
 */
class ChordFinder
{
public:
    static constexpr int kVocabularySize = 19;
    static constexpr int kMaxBarNotes = 1000;
    static constexpr int kMaxCandidates = 100;

    struct BarNote
    {
        int pitch = 0;      // note number moved into C
        int strength = 0;   // 2 for the bar's first (strong) note, 1 for the others
        double weight = 0;  // share of the bar the note covers, 0..1
    };

    struct Candidate
    {
        int index = -1;          // vocabulary row
        double base = 0;         // B: strength of the chord tones heard, plus characteristic notes
        double progression = 0;  // P: bonus from the previous bar's chord
        double inside = 0;       // U: weight of the notes that are chord tones
        double outside = 0;      // V: weight of the other notes
        double fit() const { return base + inside - outside; }
        double total() const { return base + progression + inside - outside; }
    };

    struct BarResult
    {
        int chosen = -1;
        double bestFit = 0;
        double bestTotal = 0;
        int ties = 0;
        QString suggestions; // "%s = %.1f\n" per candidate with a positive fit
        std::array<Candidate, kMaxCandidates> candidates{};
        int candidateCount = 0;
    };

    /** The key the melody is read in; also forgets every bar and the previous chord. */
    void setKey(int signature, bool minor);
    /** Forgets the bar and the previous bar. */
    void reset();

    /** Collects the notes of the melody that sound in [barStart, barEnd). */
    void collectBarNotes(const MidiSequence& melody, uint32_t barStart, uint32_t barEnd);
    /** Scores the collected notes; the chord's vocabulary index or -1. See result(). */
    int findChord();
    const BarResult& result() const { return m_bar; }
    /** The bar's result becomes the previous bar's; the bar state is emptied. */
    void endBar();
    /** Replaces the previous bar's chord by the row that stands for a fixed chord. */
    void setPreviousChord(const QString& fixedChord);
    int previousChord() const { return m_previous.chosen; }

    /**
     * The row's chord in the song's key, its root spelled with the key's accidentals (flats in
     * flat keys, sharps otherwise); empty for -1.
     */
    QString nameOfCandidate(int index) const;
    /** The last row with that root (in C) whose suffix starts like the type name, or -1. */
    static int rowFor(int rootInC, const QString& typeName);

    int barNoteCount() const { return m_noteCount; }
    const BarNote& barNote(int i) const { return m_notes[size_t(i)]; }

private:
    bool hasPitchClass(int pc) const { return m_strength[size_t(pc)] > 0; }
    int addCandidate(int index);
    Candidate* candidate(int index);
    void startCandidates();
    void scoreNotes();
    bool scoreBases();
    void addCharacteristicNotes();
    void addProgressions();
    void addFDmRule();
    int select();
    void writeSuggestions();
    bool isRunnerUp(const Candidate& c) const;

    int m_signature = 0;
    int m_shift = 0;
    bool m_minor = false;
    std::array<BarNote, kMaxBarNotes> m_notes{};
    int m_noteCount = 0;
    std::array<int, 12> m_strength{};
    BarResult m_bar;
    BarResult m_previous;
    const MidiEvent* m_resume = nullptr; // where the next bar's note walk starts
    const MidiSequence* m_melody = nullptr;
    uint32_t m_resumeGeneration = 0;
};
