#include "command_line.h"
#include "error_log.h"
#include "lane_events.h"
#include "song_making.h"
#include "song_renderer.h"
#include "song_state.h"
#include "style_audition.h"
#include "style_browser_flow.h"
#include "style_catalog.h"
#include "style_reader.h"

#include "midi_clip.h"
#include "session.h"
#include "track.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <cmath>
#include <vector>

namespace {

QString stylesDir()
{
    return QStringLiteral(CANTOVA_STYLES_DIR);
}

// One row per shipped style, with its path.
void styleRows()
{
    QTest::addColumn<QString>("path");
    const QDir dir(stylesDir());
    for (const QString& name : dir.entryList({QStringLiteral("*.sty")}, QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(name)) << dir.filePath(name);
}

bool isPianoOnly(const QString& path)
{
    const std::optional<StyleCatalog::Entry> entry = StyleCatalog::describe(path);
    return entry && entry->genre == QLatin1String("Piano");
}

// A session in the style's meter with the style loaded and a song of the given chords, one per
// bar, all of it "Main A", arranged.
struct StyleSong
{
    Session session;
    MidiClip* melody = nullptr;
    uint32_t bar = 0;

    StyleSong(const QString& path, const QStringList& chords,
              const Session::EngineFactory& engines = {})
        : session(engines), melody(auditionStyle(session, path, chords)),
          bar(melody ? songBarTicks(session) : 0)
    {
    }

    const MidiSequence* part(const QString& name)
    {
        const SongState& song = *SongState::of(&session);
        for (size_t i = 0; i < song.styleTracks.size(); ++i)
            if (song.styleTracks[i]->name() == name)
                return &static_cast<MidiClip*>(song.arrangedTracks[i]->firstClip())->sequence();
        return nullptr;
    }
};

struct Loudness
{
    double peak = 0;
    double rms = 0;
};

Loudness measure(const QString& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
    if (!file)
        return {};
    std::vector<float> samples(size_t(info.frames * info.channels));
    const sf_count_t got = sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    Loudness l;
    double sum = 0;
    for (sf_count_t i = 0; i < got * info.channels; ++i) {
        l.peak = std::max(l.peak, double(std::fabs(samples[size_t(i)])));
        sum += double(samples[size_t(i)]) * samples[size_t(i)];
    }
    l.rms = got > 0 ? std::sqrt(sum / double(got * info.channels)) : 0;
    return l;
}

} // namespace

/** The styles the program ships: complete, playing on the chords, audible and not clipping. */
class TestShippedStyles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void theLibraryOffersTheGenresByName()
    {
        const std::vector<StyleCatalog::Entry> styles = StyleCatalog::scan(stylesDir());
        QVERIFY(styles.size() >= 24);
        QStringList names;
        for (const StyleCatalog::Entry& s : styles) {
            QVERIFY2(s.genre != StyleCatalog::otherGenre(), qPrintable(s.name));
            QVERIFY2(s.tempo >= 40 && s.tempo <= 220, qPrintable(s.name));
            names << s.name;
        }
        for (const char* name :
             {"Pop 8 Beat",    "Rock",    "Soft Rock",     "Pop Ballad",
              "Ballad 6-8",    "Waltz",   "Jazz Waltz",    "Swing",
              "Slow Swing",    "Bossa",   "Samba",         "Latin Pop",
              "Reggae",        "Country", "Country Waltz", "Folk Strum",
              "Blues Shuffle", "Gospel",  "Funk",          "Disco",
              "March",         "Polka",   "Lullaby",       "Piano Accompaniment"})
            QVERIFY2(names.contains(QLatin1String(name)), name);
        // Grouped: each genre's styles follow each other.
        QStringList seen;
        for (const StyleCatalog::Entry& s : styles) {
            if (seen.isEmpty() || seen.last() != s.genre) {
                QVERIFY2(!seen.contains(s.genre), qPrintable(s.genre));
                seen << s.genre;
            }
        }
        QCOMPARE(StyleCatalog::genres(styles), seen);
    }

    void theStylesCommandListsThemByGenre()
    {
        const auto run = [](const QStringList& arguments, QString* out, QString* err) {
            QTextStream o(out), e(err);
            return CommandLine::run(QStringList{QStringLiteral("cantova")} + arguments, o, e);
        };
        QString out, err;
        QCOMPARE(run({QStringLiteral("styles"), stylesDir()}, &out, &err), 0);
        QCOMPARE(err, QString());
        const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QRegularExpression waltz(QStringLiteral("^  Waltz +3/4 +150$"));
        QCOMPARE(lines.filter(waltz).size(), 1);
        const int waltzGenre = int(lines.indexOf(QStringLiteral("Waltz")));
        QVERIFY(waltzGenre >= 0 && waltzGenre < lines.indexOf(lines.filter(waltz).first()));
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^  \\S"))).size(),
                 qsizetype(StyleCatalog::scan(stylesDir()).size()));

        // A file that is no style is told and left out; an empty folder and a missing one fail.
        QTemporaryDir dir;
        QFile::copy(QDir(stylesDir()).filePath(QStringLiteral("Bossa.sty")),
                    dir.filePath(QStringLiteral("Bossa.sty")));
        QFile broken(dir.filePath(QStringLiteral("Broken.sty")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("MThd");
        broken.close();
        out.clear();
        QCOMPARE(run({QStringLiteral("styles"), dir.path()}, &out, &err), 0);
        QCOMPARE(out, QStringLiteral("Latin\n  Bossa  4/4   132\n"));
        QVERIFY(err.contains(QStringLiteral("Broken.sty")));
        QVERIFY(broken.remove() && QFile::remove(dir.filePath(QStringLiteral("Bossa.sty"))));
        QCOMPARE(run({QStringLiteral("styles"), dir.path()}, &out, &err), 1);
        QCOMPARE(run({QStringLiteral("styles"), dir.filePath(QStringLiteral("none"))}, &out, &err),
                 1);
        QCOMPARE(run({QStringLiteral("styles"), QStringLiteral("--help")}, &out, &err), 0);
        QCOMPARE(
            run({QStringLiteral("styles"), QStringLiteral("a"), QStringLiteral("b")}, &out, &err),
            2);
    }

    void aPreviewPlaysMainAOverTheSongsFirstChords()
    {
        const QStringList fallback{QStringLiteral("C"), QStringLiteral("F"), QStringLiteral("G"),
                                   QStringLiteral("C")};
        QCOMPARE(StyleBrowserFlow::previewChords(nullptr, 3840), fallback);
        MidiSequence melody(QString(), 0, 960);
        QCOMPARE(StyleBrowserFlow::previewChords(&melody, 3840), fallback);
        // From the first bar with a chord, one chord per bar; "Empty" takes the first chord.
        setLaneEvent(melody, 0, ChordLane, QStringLiteral("Empty"));
        setLaneEvent(melody, 2 * 3840, ChordLane, QStringLiteral("Dm"));
        setLaneEvent(melody, 3 * 3840 + 960, ChordLane, QStringLiteral("G7")); // inside bar 3
        setLaneEvent(melody, 4 * 3840, ChordLane, QStringLiteral("Empty"));
        setLaneEvent(melody, 5 * 3840, ChordLane, QStringLiteral("C"));
        QCOMPARE(StyleBrowserFlow::previewChords(&melody, 3840),
                 (QStringList{QStringLiteral("Dm"), QStringLiteral("Dm"), QStringLiteral("Dm"),
                              QStringLiteral("C")}));
        // A song with an intro: from its main part; the chords of the intro are left out.
        setLaneEvent(melody, 0, ChordLane, QStringLiteral("C7"));
        setLaneEvent(melody, 0, SectionLane, QStringLiteral("Intro A"));
        setLaneEvent(melody, 3 * 3840, SectionLane, QStringLiteral("Main A"));
        QCOMPARE(StyleBrowserFlow::previewChords(&melody, 3840),
                 (QStringList{QStringLiteral("G7"), QStringLiteral("G7"), QStringLiteral("C"),
                              QStringLiteral("C")}));

        QTemporaryDir dir;
        const QString wav = dir.filePath(QStringLiteral("preview.wav"));
        QVERIFY(StyleBrowserFlow::renderPreview(
            QDir(stylesDir()).filePath(QStringLiteral("Bossa.sty")), fallback, wav));
        QVERIFY(measure(wav).rms > 0.01);
        QVERIFY(!StyleBrowserFlow::renderPreview(dir.filePath(QStringLiteral("none.sty")), fallback,
                                                 wav));
        ErrorLog::clear();
    }

    void everyStyleHasItsSectionsAndParts_data() { styleRows(); }
    void everyStyleHasItsSectionsAndParts()
    {
        QFETCH(QString, path);
        StyleReader reader;
        QVERIFY2(reader.readFile(path), qPrintable(ErrorLog::take()));
        const StyleReader::Style& style = reader.style();
        const MidiSequence& markers = *style.tracks.front();
        const uint32_t bar = meterBarTicks(style.beats, style.beatUnit, markers.resolution());
        for (const char* name : {"Intro A", "Main A", "Main B", "Fill In AA", "Fill In AB",
                                 "Fill In BB", "Fill In BA", "Ending A", "Ending B"}) {
            const StyleSectionSpan span = styleSectionSpan(markers, QLatin1String(name));
            QVERIFY2(span.found && span.end > span.start, name);
            QCOMPARE((span.end - span.start) % bar, 0u);
        }
        for (const char* name : {"Intro A", "Main A", "Main B"}) {
            const StyleSectionSpan span = styleSectionSpan(markers, QLatin1String(name));
            QCOMPARE(span.end - span.start, 4 * bar);
        }
        // Drums on channel 10, a bass, at least two more pitched parts, each named by the part
        // table and kept to a note range of at least an octave.
        int drums = 0, bass = 0, pitched = 0;
        for (size_t i = 1; i < style.tracks.size(); ++i) {
            const MidiSequence& t = *style.tracks[i];
            QVERIFY2(!t.name().startsWith(QLatin1String("Arranged Track")), qPrintable(t.name()));
            if (t.channel() == 9) {
                ++drums;
                continue;
            }
            QVERIFY2(style.rules[i].highLimit - style.rules[i].lowLimit >= 11,
                     qPrintable(t.name()));
            QCOMPARE(style.rules[i].sourceRoot, 0);
            if (t.name() == QLatin1String("Bass"))
                ++bass;
            else
                ++pitched;
        }
        QCOMPARE(drums, isPianoOnly(path) ? 0 : 1);
        QCOMPARE(bass, 1);
        QVERIFY(pitched >= 2);
    }

    void theBassPlaysTheRootOnEveryDownbeat_data() { styleRows(); }
    void theBassPlaysTheRootOnEveryDownbeat()
    {
        QFETCH(QString, path);
        const QStringList chords{QStringLiteral("C"), QStringLiteral("F"), QStringLiteral("G"),
                                 QStringLiteral("Am")};
        const int roots[] = {0, 5, 7, 9};
        StyleSong song(path, chords);
        QVERIFY(song.bar > 0);
        const MidiSequence* bass = song.part(QStringLiteral("Bass"));
        QVERIFY(bass);
        for (int i = 0; i < chords.size(); ++i) {
            bool root = false;
            for (const MidiEvent* e = bass->first(); e; e = e->next())
                root = root || (e->isNote() && e->time == uint32_t(i) * song.bar &&
                                e->data1 % 12 == roots[i]);
            QVERIFY2(root, qPrintable(chords[i]));
        }
    }

    void aProgressionSoundsWithoutClipping_data() { styleRows(); }
    void aProgressionSoundsWithoutClipping()
    {
        QFETCH(QString, path);
        QTemporaryDir dir;
        const QString wav = dir.filePath(QStringLiteral("style.wav"));
        SongRenderer renderer;
        StyleSong song(
            path,
            {QStringLiteral("C"), QStringLiteral("F"), QStringLiteral("G"), QStringLiteral("C")},
            renderer.engines());
        QVERIFY(song.bar > 0);
        QVERIFY2(renderer.render(song.session, wav, nullptr), qPrintable(ErrorLog::take()));
        const Loudness l = measure(wav);
        QVERIFY2(l.rms > 0.01, qPrintable(QString::number(l.rms)));   // above -40 dBFS
        QVERIFY2(l.peak < 0.98, qPrintable(QString::number(l.peak))); // never at full scale
    }
};

QTEST_MAIN(TestShippedStyles)
#include "tst_shipped_styles.moc"
