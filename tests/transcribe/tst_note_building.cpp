#include "note_refiner.h"
#include "partial_track.h"
#include "track_detector.h"
#include "transcription_engine.h"

#include <QTest>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

namespace {

constexpr double kRate = 11025.0;

using Curve = std::function<double(double seconds)>;

double hz(double pitch)
{
    return 440.0 * std::pow(2.0, (pitch - 69.0) / 12.0);
}

/**
 * A voice-like tone: harmonics 1..`harmonics` falling 6 dB per octave, pitch following a curve
 * (fractional MIDI note), 20 ms fades, peak amplitude about `amplitude`.
 */
std::vector<float> voice(double seconds, const Curve& pitch, double amplitude, int harmonics = 8)
{
    std::vector<float> samples(static_cast<size_t>(seconds * kRate));
    double norm = 0.0;
    for (int h = 1; h <= harmonics; ++h)
        norm += 1.0 / h;
    double phase = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = i / kRate;
        const double fade = std::min({1.0, t / 0.02, (seconds - t) / 0.02});
        double sum = 0.0;
        for (int h = 1; h <= harmonics && h * hz(pitch(t)) < kRate / 2; ++h)
            sum += std::sin(h * phase) / h;
        samples[i] = static_cast<float>(amplitude * fade * sum / norm);
        phase += 2.0 * std::numbers::pi * hz(pitch(t)) / kRate;
    }
    return samples;
}

Curve steady(double pitch)
{
    return [pitch](double) { return pitch; };
}

std::vector<float> silence(double seconds)
{
    return std::vector<float>(static_cast<size_t>(seconds * kRate), 0.0f);
}

std::vector<float> join(std::vector<float> a, const std::vector<float>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<const TranscribedEvent*> noteOns(const TranscriptionResult& result)
{
    std::vector<const TranscribedEvent*> ons;
    for (const TranscribedEvent& e : result.events) {
        if (e.isNoteOn())
            ons.push_back(&e);
    }
    return ons;
}

QString describe(const TranscriptionResult& result)
{
    QString text;
    for (const TranscribedEvent& e : result.events) {
        text += QStringLiteral("%1 %2 t=%3 d=%4 v=%5 f=%6\n")
                    .arg(e.isNoteOn() ? "on " : "off")
                    .arg(e.note)
                    .arg(e.time, 0, 'f', 3)
                    .arg(e.duration, 0, 'f', 3)
                    .arg(e.velocity)
                    .arg(e.frequency);
    }
    return text;
}

/** A finished result made by hand: one note per (pitch, start, length) in time order. */
TranscriptionResult handMade(const std::vector<std::array<double, 3>>& notes)
{
    TranscriptionResult result;
    for (const auto& [pitch, start, length] : notes) {
        TranscribedEvent on;
        on.time = start;
        on.frequency = static_cast<float>(hz(pitch));
        on.velocity = 100;
        TranscribedEvent off = on;
        off.status = TranscribedEvent::kNoteOff;
        off.velocity = 0;
        off.time = start + length;
        result.events.push_back(on);
        result.events.push_back(off);
        ++result.noteCount;
    }
    return result;
}

} // namespace

/** Notes built from synthetic voices, and the tuning and key estimate of finished results. */
class TestNoteBuilding : public QObject
{
    Q_OBJECT

    TranscriptionEngine engine;

    const TranscriptionResult& transcribe(const std::vector<float>& samples)
    {
        if (!engine.configure(static_cast<float>(kRate)))
            qFatal("configure failed");
        const float* channels[] = {samples.data()};
        engine.feed(channels, static_cast<long long>(samples.size()));
        engine.finish();
        return engine.result();
    }

    // Every note-on is followed by exactly one note-off of its frequency, never earlier.
    static void checkPairs(const TranscriptionResult& result)
    {
        std::vector<bool> used(result.events.size(), false);
        for (size_t i = 0; i < result.events.size(); ++i) {
            const TranscribedEvent& on = result.events[i];
            QVERIFY(on.time >= 0.0);
            if (!on.isNoteOn())
                continue;
            size_t j = i + 1;
            while (j < result.events.size() &&
                   (result.events[j].isNoteOn() || result.events[j].frequency != on.frequency))
                ++j;
            QVERIFY2(j < result.events.size(), qPrintable(describe(result)));
            QVERIFY(!used[j]);
            used[j] = true;
            QCOMPARE(result.events[j].note, on.note);
            QVERIFY(result.events[j].time >= on.time);
            QCOMPARE(on.duration, result.events[j].time - on.time);
        }
    }

private Q_SLOTS:
    void steadyToneGivesOneNote()
    {
        const auto& result =
            transcribe(join(join(silence(0.3), voice(1.0, steady(64), 0.3)), silence(0.3)));
        QCOMPARE(result.noteCount, 1);
        QVERIFY2(result.events.size() == 2, qPrintable(describe(result)));
        checkPairs(result);
        const TranscribedEvent& on = result.events[0];
        QCOMPARE(on.note, uint8_t(64));
        // The attack lies where the tone starts, the note-off near where it ends.
        QVERIFY2(std::abs(on.time - 0.3) < 0.05, qPrintable(describe(result)));
        QVERIFY2(std::abs(result.events[1].time - 1.3) < 0.1, qPrintable(describe(result)));
        QVERIFY(on.velocity > 0 && on.velocity <= 126);
    }

    void vibratoKeepsOneNote()
    {
        const Curve vibrato = [](double t) {
            return 62.0 + 0.8 * std::sin(2 * std::numbers::pi * 5.5 * t);
        };
        const auto& result = transcribe(join(voice(1.5, vibrato, 0.3), silence(0.2)));
        QVERIFY2(result.noteCount == 1, qPrintable(describe(result)));
        QCOMPARE(result.events[0].note, uint8_t(62));
        checkPairs(result);
    }

    // A whole-tone glide inside one partial ends the first body; once the new pitch is stable
    // the track splits and the second note starts where the first one ends.
    void glideInsideAPartialSplitsIntoTwoNotes()
    {
        const Curve glide = [](double t) {
            return t < 0.8 ? 60.0 : t < 0.9 ? 60.0 + 20.0 * (t - 0.8) : 62.0;
        };
        const auto& result = transcribe(join(voice(1.7, glide, 0.3), silence(0.2)));
        const auto ons = noteOns(result);
        QVERIFY2(ons.size() == 2, qPrintable(describe(result)));
        QCOMPARE(ons[0]->note, uint8_t(60));
        QCOMPARE(ons[1]->note, uint8_t(62));
        checkPairs(result);
        QVERIFY2(ons[1]->time > 0.75 && ons[1]->time < 1.0, qPrintable(describe(result)));
        QVERIFY(ons[0]->duration < ons[1]->time - ons[0]->time + 0.05);
    }

    // Its 440, 660, … Hz partials join the 220 Hz group as harmonics and are claimed by it.
    void harmonicRichToneGivesOneNote()
    {
        const auto& result = transcribe(join(voice(1.0, steady(57), 0.4, 20), silence(0.2)));
        QVERIFY2(result.noteCount == 1, qPrintable(describe(result)));
        QCOMPARE(result.events[0].note, uint8_t(57));
    }

    // A pure tone at −45 dB: velocity = floor((−45 + 90) × 126 ÷ 90 + 0.5) = 63.
    void velocityFollowsTheBodyLevel()
    {
        std::vector<float> tone(static_cast<size_t>(kRate));
        const double amplitude = std::pow(10.0, -45.0 / 20.0);
        for (size_t i = 0; i < tone.size(); ++i)
            tone[i] =
                static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * 440.0 * i / kRate));
        const auto& result = transcribe(join(tone, silence(0.2)));
        QVERIFY2(result.noteCount == 1, qPrintable(describe(result)));
        QCOMPARE(result.events[0].velocity, uint8_t(63));
        QCOMPARE(result.events[0].note, uint8_t(69));
    }

    void silenceGivesNoNotes()
    {
        const auto& result = transcribe(silence(1.0));
        QCOMPARE(result.noteCount, 0);
        QVERIFY(result.events.empty());
        QCOMPARE(result.key, 0);
        QCOMPARE(result.minor, uint8_t(0));
    }

    // Three sung notes with breaths between: three notes in order, each paired with its note-off.
    void melodyGivesItsNotes()
    {
        std::vector<float> samples = silence(0.2);
        for (double pitch : {60.0, 64.0, 67.0})
            samples = join(join(samples, voice(0.5, steady(pitch), 0.3)), silence(0.15));
        const auto& result = transcribe(samples);
        const auto ons = noteOns(result);
        QVERIFY2(ons.size() == 3, qPrintable(describe(result)));
        QCOMPARE(ons[0]->note, uint8_t(60));
        QCOMPARE(ons[1]->note, uint8_t(64));
        QCOMPARE(ons[2]->note, uint8_t(67));
        checkPairs(result);
        // C, F and G major fit equally; the major key on the last note (G) is preferred.
        QCOMPARE(result.key, 1);
        QCOMPARE(result.minor, uint8_t(0));
    }

    void slopeSearch()
    {
        PartialTrack track;
        track.restart(0, 10);
        for (float level : {-60.0f, -59.0f, -58.0f, -50.0f, -40.0f, -40.0f}) {
            SpectralPeak peak;
            peak.frequency = 440.0f;
            peak.level = level;
            track.append(peak);
        }
        // Rise into frame 15: −40 exceeds −58 (frame 12) by 18 > 4 + 3 × 0.93.
        QCOMPARE(TrackDetector::slopeSearch(track, 10, 15, 40.0f / 43.0f, -4.0f), 13);
        // Nothing earlier than frame 14 lies 4 dB above a line rising to −40.
        QCOMPARE(TrackDetector::slopeSearch(track, 10, 15, 40.0f / 43.0f, 4.0f),
                 TrackDetector::kNone);
        // The window's lowest frame bounds the search.
        QCOMPARE(TrackDetector::slopeSearch(track, 14, 15, 40.0f / 43.0f, -4.0f),
                 TrackDetector::kNone);
    }

    // 60.3 and 62.6 round to 60 and 63 alone; one offset for both (−0.5) fits 60 and 62. The
    // offset +0.5 fits as well one semitone higher (61 and 63) and must not win the tie.
    void tuningOffsetFitsTheGrid()
    {
        TranscriptionResult result = handMade({{60.3, 0.0, 1.0}, {62.6, 1.0, 1.0}});
        NoteRefiner::refine(result, NoteRefiner::Tuning::Classic);
        QCOMPARE(result.events[0].note, uint8_t(60));
        QCOMPARE(result.events[1].note, uint8_t(60));
        QCOMPARE(result.events[2].note, uint8_t(62));
        QCOMPARE(result.events[3].note, uint8_t(62));
        QCOMPARE(result.tuningOffset, -0.5f);
        QCOMPARE(result.meanDuration, 1.0);
        QCOMPARE(result.events[2].duration, 1.0);
    }

    void singleNoteKeepsItsNumber()
    {
        TranscriptionResult result = handMade({{69.0, 0.5, 0.7}});
        NoteRefiner::refine(result);
        QCOMPARE(result.events[0].note, uint8_t(69));
        QVERIFY(std::abs(result.tuningOffset) < 1e-6f);
    }

    // All notes of zero length: the tuning must still round to the nearest note, not fail on 0 ÷ 0.
    void notesWithoutDurationStillRound()
    {
        TranscriptionResult result = handMade({{64.1, 0.0, 0.0}, {67.1, 0.0, 0.0}});
        NoteRefiner::refine(result);
        QCOMPARE(result.events[0].note, uint8_t(64));
        QCOMPARE(result.events[2].note, uint8_t(67));
        QVERIFY(std::isfinite(result.tuningOffset));
    }

    void key_data()
    {
        QTest::addColumn<std::vector<double>>("pitches");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("minor");
        const std::vector<double> cMajor = {60, 62, 64, 65, 67, 71, 72, 64};
        auto ending = [](std::vector<double> notes, double last) {
            notes.push_back(last);
            return notes;
        };
        QTest::newRow("C major ending on A") << ending(cMajor, 69) << 0 << true;
        QTest::newRow("C major ending on C") << ending(cMajor, 60) << 0 << false;
        const std::vector<double> gMajor = {67, 69, 71, 72, 74, 78, 79, 71};
        QTest::newRow("G major ending on E") << ending(gMajor, 64) << 1 << true;
        QTest::newRow("G major ending on G") << ending(gMajor, 67) << 1 << false;
        // D major ending on B: relative minor, two sharps.
        QTest::newRow("D major ending on B")
            << std::vector<double>{62, 64, 66, 67, 69, 71, 73, 74, 71} << 2 << true;
        // E-flat major ending on E-flat: three flats.
        QTest::newRow("E-flat major")
            << std::vector<double>{63, 65, 67, 68, 70, 72, 74, 63} << -3 << false;
    }

    void key()
    {
        QFETCH(std::vector<double>, pitches);
        QFETCH(int, key);
        QFETCH(bool, minor);
        std::vector<std::array<double, 3>> notes;
        for (size_t i = 0; i < pitches.size(); ++i)
            notes.push_back({pitches[i], 0.5 * i, 0.4});
        TranscriptionResult result = handMade(notes);
        NoteRefiner::refine(result);
        QCOMPARE(result.key, key);
        QCOMPARE(result.minor, uint8_t(minor ? 1 : 0));
    }

    // A long note outside the scale outweighs several short ones inside it.
    void keyWeighsNotesByDuration()
    {
        // C D E G A short, F# long: G major (F#) beats C major (no F#) only by duration.
        TranscriptionResult result = handMade(
            {{60, 0.0, 0.1}, {62, 0.1, 0.1}, {64, 0.2, 0.1}, {66, 0.3, 2.0}, {67, 2.3, 0.1}});
        NoteRefiner::refine(result);
        QCOMPARE(result.key, 1);
        QCOMPARE(result.minor, uint8_t(0));
    }
};

QTEST_GUILESS_MAIN(TestNoteBuilding)
#include "tst_note_building.moc"
