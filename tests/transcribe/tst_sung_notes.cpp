#include "melody_shaper.h"
#include "note_refiner.h"
#include "pitch.h"
#include "singer_tuning.h"
#include "tuning_setting.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <vector>

namespace {

SungNote sung(double onset, double end, double pitch)
{
    SungNote note;
    note.onset = onset;
    note.end = end;
    note.pitch = pitch;
    note.frequency = static_cast<float>(440.0 * std::pow(2.0, (pitch - 69.0) / 12.0));
    note.velocity = 90;
    return note;
}

std::vector<int> numbers(const SungNotes& notes)
{
    std::vector<int> result;
    for (const SungNote& n : notes)
        result.push_back(n.note);
    return result;
}

/** A finished result as note building leaves it: note-ons and note-offs in emission order. */
TranscriptionResult emitted(const SungNotes& notes)
{
    TranscriptionResult result;
    for (const SungNote& n : notes) {
        TranscribedEvent on;
        on.time = n.onset;
        on.frequency = n.frequency;
        on.velocity = n.velocity;
        result.events.push_back(on);
        ++result.noteCount;
    }
    // Note-offs come after all note-ons, as when they are emitted late.
    for (const SungNote& n : notes) {
        TranscribedEvent off;
        off.status = TranscribedEvent::kNoteOff;
        off.time = n.end;
        off.frequency = n.frequency;
        result.events.push_back(off);
    }
    return result;
}

} // namespace

/** Note timing and the tuning that follows the singer, on notes made by hand. */
class TestSungNotes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void overlapsAreTrimmed()
    {
        SungNotes notes = {sung(1.0, 2.4, 62), sung(0.0, 1.3, 60), sung(2.0, 3.0, 64)};
        MelodyShaper::shape(notes);
        QCOMPARE(notes.size(), size_t(3));
        QCOMPARE(notes[0].onset, 0.0); // sorted by onset
        QCOMPARE(notes[0].end, 1.0);
        QCOMPARE(notes[1].end, 2.0);
        QCOMPARE(notes[2].end, 3.0);
    }

    // Two notes found for one onset: the one left shorter than a note can be is dropped.
    void aNoteCutToNothingIsDropped()
    {
        SungNotes notes = {sung(0.5, 1.5, 67), sung(0.52, 1.4, 55)};
        MelodyShaper::shape(notes);
        QCOMPARE(notes.size(), size_t(1));
        QCOMPARE(notes[0].pitch, 55.0);
    }

    void scoops_data()
    {
        QTest::addColumn<double>("scoopPitch");
        QTest::addColumn<double>("scoopEnd");
        QTest::addColumn<bool>("joined");
        QTest::newRow("one and a half semitones below") << 60.5 << 0.35 << true;
        QTest::newRow("a semitone below") << 61.0 << 0.35 << true;
        QTest::newRow("a neighbour note half a semitone below") << 61.6 << 0.35 << false;
        QTest::newRow("a fourth below: a note of its own") << 57.0 << 0.35 << false;
        QTest::newRow("from above: not a scoop") << 63.5 << 0.35 << false;
        QTest::newRow("a breath before the note") << 60.5 << 0.25 << false;
    }

    // A short glide from below that runs into the next note is that note's start.
    void scoops()
    {
        QFETCH(double, scoopPitch);
        QFETCH(double, scoopEnd);
        QFETCH(bool, joined);
        SungNotes notes = {sung(0.2, scoopEnd, scoopPitch), sung(0.35, 1.2, 62)};
        MelodyShaper::shape(notes);
        QCOMPARE(notes.size(), size_t(joined ? 1 : 2));
        QCOMPARE(notes.back().pitch, 62.0);
        QCOMPARE(notes.front().onset, 0.2);
    }

    // A slow glide of a second or longer is sung, not a scoop.
    void aLongGlideStaysANote()
    {
        SungNotes notes = {sung(0.0, 0.3, 60.5), sung(0.3, 1.2, 62)};
        MelodyShaper::shape(notes);
        QCOMPARE(notes.size(), size_t(2));
    }

    // 60.3 and 62.6 lie 0.3 and 0.6 above the grid: their circular mean is 0.45, so 60 and 62.
    void circularMeanOfTwoNotes()
    {
        SungNotes notes = {sung(0.0, 1.0, 60.3), sung(1.0, 2.0, 62.6)};
        const double offset = SingerTuning::assign(notes, {1.0, 1.0});
        QCOMPARE(numbers(notes), (std::vector<int>{60, 62}));
        QVERIFY(std::abs(offset + 0.45) < 1e-9);
    }

    // A singer 30 cents sharp who sinks steadily from 45 cents above that to 45 cents below
    // over a minute and misses single notes by 10 cents: no one offset fits the whole take,
    // the following reference keeps every note.
    void driftingSingerKeepsHisNotes()
    {
        SungNotes notes;
        std::vector<int> melody;
        const int scale[] = {60, 62, 64, 65, 67, 65, 64, 62};
        for (int i = 0; i < 120; ++i) {
            const double t = 0.5 * i;
            const double drift = 0.45 - 0.9 * t / 60.0;
            const double miss = i % 2 ? 0.1 : -0.1;
            melody.push_back(scale[i % 8]);
            notes.push_back(sung(t, t + 0.45, scale[i % 8] + 0.3 + drift + miss));
        }
        TranscriptionResult classic = emitted(notes);
        NoteRefiner::refine(classic, NoteRefiner::Tuning::Classic);
        int wrong = 0;
        for (std::size_t i = 0; i < notes.size(); ++i)
            wrong += classic.events[i].note != melody[i];
        QVERIFY(wrong >= 3);

        SingerTuning::assign(notes, std::vector<double>(notes.size(), 1.0));
        QCOMPARE(numbers(notes), melody);
    }

    // A singer drifting across the half-semitone line stays on one grid: the reference is
    // unwrapped along the take, so no note jumps by a semitone where the drift crosses it.
    void driftAcrossTheHalfSemitoneIsUnwrapped()
    {
        SungNotes notes;
        for (int i = 0; i < 40; ++i) {
            const double t = 0.5 * i;
            notes.push_back(sung(t, t + 0.45, 60 + 0.3 + 0.4 * t / 20.0));
        }
        SingerTuning::assign(notes, std::vector<double>(notes.size(), 1.0));
        for (const SungNote& n : notes)
            QCOMPARE(int(n.note), notes.front().note);
    }

    // Follow mode rewrites the events in time order, each note-on with its note-off right
    // after it, the durations trimmed so that no note overlaps the next.
    void followModeWritesNotesInTimeOrder()
    {
        TranscriptionResult result =
            emitted({sung(0.0, 1.2, 60.1), sung(1.0, 2.0, 64.1), sung(2.0, 3.0, 67.1)});
        NoteRefiner::refine(result);
        QCOMPARE(result.noteCount, 3);
        QCOMPARE(result.events.size(), size_t(6));
        const int expected[] = {60, 64, 67};
        for (int i = 0; i < 3; ++i) {
            const TranscribedEvent& on = result.events[size_t(2 * i)];
            const TranscribedEvent& off = result.events[size_t(2 * i + 1)];
            QVERIFY(on.isNoteOn() && !off.isNoteOn());
            QCOMPARE(int(on.note), expected[i]);
            QCOMPARE(off.note, on.note);
            QCOMPARE(off.frequency, on.frequency);
            QCOMPARE(on.duration, off.time - on.time);
        }
        QCOMPARE(result.events[1].time, 1.0);
        QCOMPARE(result.meanDuration, 1.0);
        QVERIFY(std::abs(result.tuningOffset + 0.1f) < 1e-4f);
    }

    // Classic mode leaves the events as note building emitted them.
    void classicModeKeepsTheEmittedEvents()
    {
        TranscriptionResult result = emitted({sung(0.0, 1.2, 60.1), sung(1.0, 2.0, 64.1)});
        NoteRefiner::refine(result, NoteRefiner::Tuning::Classic);
        QVERIFY(result.events[0].isNoteOn() && result.events[1].isNoteOn());
        QCOMPARE(result.events[2].time, 1.2);
        QCOMPARE(result.events[0].duration, 1.2);
    }

    void tuningSetting()
    {
        QCOMPARE(TuningSetting::fromText(QStringLiteral("Classic")), NoteRefiner::Tuning::Classic);
        QCOMPARE(TuningSetting::fromText(QStringLiteral("follow")),
                 NoteRefiner::Tuning::FollowSinger);
        QVERIFY(!TuningSetting::fromText(QStringLiteral("sharp")));
        QTemporaryDir dir;
        QSettings store(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        QCOMPARE(TuningSetting::read(store), NoteRefiner::Tuning::FollowSinger);
        TuningSetting::write(store, NoteRefiner::Tuning::Classic);
        QCOMPARE(store.value(TuningSetting::key()).toString(), QStringLiteral("classic"));
        QCOMPARE(TuningSetting::read(store), NoteRefiner::Tuning::Classic);
        store.setValue(TuningSetting::key(), QStringLiteral("garbage"));
        QCOMPARE(TuningSetting::read(store), NoteRefiner::Tuning::FollowSinger);
    }
};

QTEST_GUILESS_MAIN(TestSungNotes)
#include "tst_sung_notes.moc"
