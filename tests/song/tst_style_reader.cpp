#include "error_log.h"
#include "lane_events.h"
#include "midi_sequence.h"
#include "session.h"
#include "song_state.h"
#include "style_casm.h"
#include "style_loader.h"
#include "style_reader.h"
#include "track.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <vector>

// The style reader over the test styles (written by tests/data/styles/make_test_styles.py), the
// malformed corpus and the styles the program ships, and the loading into a session.
class TestStyleReader : public QObject
{
    Q_OBJECT

    static QString data(const QString& name)
    {
        return QStringLiteral(CANTOVA_TEST_DATA "/styles/") + name;
    }
    static QStringList stylesIn(const QString& folder)
    {
        QStringList paths;
        for (const QFileInfo& info : QDir(folder).entryInfoList({QStringLiteral("*.sty")}))
            paths << info.absoluteFilePath();
        return paths;
    }
    static const MidiSequence& track(StyleReader& reader, size_t i)
    {
        return *reader.style().tracks.at(i);
    }

private Q_SLOTS:
    void cleanup() { ErrorLog::clear(); }

    void aPlainFileKeepsTrackOrderChannelsAndItsMarkerTrack()
    {
        StyleReader reader;
        QVERIFY(reader.readFile(data(QStringLiteral("plain_three_parts.sty"))));
        QCOMPARE(reader.style().tracks.size(), size_t(4));
        // The markers-only first track stays as the section track.
        QVERIFY(track(reader, 0).name().endsWith(QStringLiteral("(section)")));
        QCOMPARE(track(reader, 0).channel(), uint16_t(8));
        for (size_t i = 1; i < 4; ++i) {
            // The parts' events are on channel 5; their place in the file decides.
            QCOMPARE(track(reader, i).channel(), uint16_t(i));
            QCOMPARE(track(reader, i).name(), QStringLiteral("Arranged Track %1").arg(i + 1));
            QCOMPARE(track(reader, i).program(), int(9 + i));
            QCOMPARE(track(reader, i).bank(), 0); // undefined in the file
        }
        QCOMPARE(reader.style().beats, uint16_t(3));
        QCOMPARE(reader.style().beatUnit, uint16_t(2));
    }

    void thePartTableNamesAndRoutesWithEightOnTheDrumChannel()
    {
        StyleReader reader;
        QVERIFY(reader.readFile(data(QStringLiteral("drums_by_table.sty"))));
        QCOMPARE(track(reader, 1).name(), QStringLiteral("Drums"));
        QCOMPARE(track(reader, 1).channel(), uint16_t(9));
        QCOMPARE(track(reader, 2).name(), QStringLiteral("Bass"));
        QCOMPARE(track(reader, 2).channel(), uint16_t(1));
        QCOMPARE(track(reader, 3).channel(), uint16_t(2));
    }

    void newerPartTablesRouteAndGiveTheMiddleRangesLimits()
    {
        StyleReader reader;
        QVERIFY(reader.readFile(data(QStringLiteral("newer_table.sty"))));
        const StyleReader::Style& style = reader.style();
        QCOMPARE(track(reader, 1).name(), QStringLiteral("Drums"));
        QCOMPARE(track(reader, 1).channel(), uint16_t(9));
        QCOMPARE(track(reader, 2).name(), QStringLiteral("Bass"));
        QCOMPARE(track(reader, 2).channel(), uint16_t(1));
        QCOMPARE(track(reader, 3).name(), QStringLiteral("Chord"));
        QCOMPARE(style.rules.size(), style.tracks.size());
        QCOMPARE(style.rules[2].lowLimit, 36);
        QCOMPARE(style.rules[2].highLimit, 59);
        QCOMPARE(style.rules[3].highLimit, 127);

        // The older table's parts keep their defaults where the bytes say nothing.
        StyleReader older;
        QVERIFY(older.readFile(data(QStringLiteral("drums_by_table.sty"))));
        QCOMPARE(older.style().rules.at(2).sourceRoot, 0);
        QCOMPARE(older.style().rules.at(2).limit(100), 100);
    }

    void eighthNoteStylesKeepTheirMeter_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("beats");
        QTest::addColumn<int>("barTicks"); // at the files' 96 ticks per quarter
        QTest::newRow("10/8") << QStringLiteral("ten_eight.sty") << 10 << 480;
        QTest::newRow("6/8") << QStringLiteral("six_eight.sty") << 6 << 288;
    }
    void eighthNoteStylesKeepTheirMeter()
    {
        QFETCH(QString, file);
        QFETCH(int, beats);
        QFETCH(int, barTicks);
        StyleReader reader;
        QVERIFY(reader.readFile(data(file)));
        QCOMPARE(reader.style().beats, uint16_t(beats));
        QCOMPARE(reader.style().beatUnit, uint16_t(3));
        const MidiSequence& markers = track(reader, 0);
        const StyleSectionSpan intro = styleSectionSpan(markers, QStringLiteral("Intro A"));
        QCOMPARE(intro.start, uint32_t(barTicks));
        QCOMPARE(intro.end - intro.start, uint32_t(barTicks));
    }

    void aStyleEditorsFileStartsMainAAtTickZero()
    {
        Session session;
        QVERIFY(openStyle(session, data(QStringLiteral("main_at_tick_zero.sty"))));
        const SongState& song = *SongState::of(&session);
        QVERIFY(styleMainSectionPlays(song));
        const StyleSectionSpan main =
            styleSectionSpan(*song.styleTracks.front(), QStringLiteral("Main A"));
        QCOMPARE(main.start, 0u);
        QCOMPARE(main.end, 768u);
    }

    void aFormat0FileSplitsByChannelAndDropsSilentChannels()
    {
        StyleReader reader;
        QVERIFY(reader.readFile(data(QStringLiteral("format0.sty"))));
        // Channel 0 holds the markers; channels 2 and 9 hold notes; the rest go.
        QCOMPARE(reader.style().tracks.size(), size_t(3));
        QCOMPARE(track(reader, 0).channel(), uint16_t(8));
        QCOMPARE(track(reader, 1).channel(), uint16_t(2));
        QCOMPARE(track(reader, 2).channel(), uint16_t(9));
        QCOMPARE(reader.style().beats, uint16_t(4)); // no time signature
    }

    void aStyleNeedsExactlyOneMainA_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("two") << QStringLiteral("two_main_a.sty");
        QTest::newRow("none") << QStringLiteral("no_main_a.sty");
    }
    void aStyleNeedsExactlyOneMainA()
    {
        QFETCH(QString, file);
        StyleReader reader;
        QVERIFY(!reader.readFile(data(file)));
        QVERIFY(reader.style().tracks.empty());
        QVERIFY(ErrorLog::text().contains(QStringLiteral("Main A")));
    }

    void everyMalformedFileIsReadOrRefusedSafely()
    {
        const QStringList files = stylesIn(data(QStringLiteral("malformed")));
        QVERIFY(files.size() >= 10);
        for (const QString& path : files) {
            StyleReader reader;
            const bool ok = reader.readFile(path);
            const QString name = QFileInfo(path).fileName();
            // A broken part table never costs the tracks read before it.
            static const QStringList brokenTracks = {QStringLiteral("empty.sty"),
                                                     QStringLiteral("header_only.sty"),
                                                     QStringLiteral("truncated_track.sty")};
            if (!brokenTracks.contains(name)) {
                QVERIFY2(ok, qPrintable(name));
                QCOMPARE(reader.style().tracks.size(), size_t(4));
            } else {
                QVERIFY2(!ok, qPrintable(name));
            }
        }
    }

    void aBrokenTableEntryKeepsTheEntriesBeforeIt_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("short entry") << QStringLiteral("ctab_short_entry.sty");
        QTest::newRow("short newer entry") << QStringLiteral("ctb2_short_entry.sty");
        QTest::newRow("bad channel") << QStringLiteral("ctab_bad_channel.sty");
        QTest::newRow("huge length") << QStringLiteral("ctab_huge_length.sty");
        QTest::newRow("block past end") << QStringLiteral("casm_length_past_end.sty");
    }
    void aBrokenTableEntryKeepsTheEntriesBeforeIt()
    {
        QFETCH(QString, file);
        StyleReader reader;
        QVERIFY(reader.readFile(data(QStringLiteral("malformed/") + file)));
        QCOMPARE(track(reader, 1).channel(), uint16_t(9));
        QCOMPARE(track(reader, 2).channel(), uint16_t(2));
        QCOMPARE(track(reader, 2).name(), QStringLiteral("Arranged Track 3"));
    }

    void aBlockLongerThanTheFileStopsAtItsLastByte()
    {
        // A part table whose block and second segment declare more bytes than the file holds,
        // the second segment's entry cut short after 10 of its 27 bytes.
        auto u32 = [](std::vector<uint8_t>& out, uint32_t v) {
            for (int shift = 24; shift >= 0; shift -= 8)
                out.push_back(uint8_t(v >> shift));
        };
        auto tag = [](std::vector<uint8_t>& out, const char* t) {
            out.insert(out.end(), t, t + 4);
        };
        std::vector<uint8_t> entry(27, 0);
        entry[0] = 1; // source channel
        std::copy_n("Bass", 4, entry.begin() + 1);
        entry[9] = 2; // destination
        std::vector<uint8_t> block;
        tag(block, "CASM");
        u32(block, 0x1000);
        tag(block, "CSEG");
        u32(block, 46);
        tag(block, "Sdec");
        u32(block, 3);
        block.insert(block.end(), {'A', 'b', 'c'});
        tag(block, "Ctab");
        u32(block, 27);
        block.insert(block.end(), entry.begin(), entry.end());
        tag(block, "CSEG");
        u32(block, 200);
        tag(block, "Sdec");
        u32(block, 0);
        tag(block, "Ctab");
        u32(block, 27);
        block.insert(block.end(), entry.begin(), entry.begin() + 10);

        // Read from a buffer of exactly the data's size (the sanitizers see any read past it),
        // then from one whose bytes after the data would complete the cut entry.
        const std::vector<uint8_t> exact = block;
        std::vector<uint8_t> padded = block;
        padded.resize(block.size() + 64, 0);
        const std::vector<uint8_t>* inputs[] = {&exact, &padded};
        for (const std::vector<uint8_t>* bytes : inputs) {
            const std::vector<StyleCasm::Part> parts =
                StyleCasm::read(bytes->data(), uint32_t(block.size()));
            QCOMPARE(parts.size(), size_t(1));
            QCOMPARE(parts[0].name, QStringLiteral("Bass"));
            QCOMPARE(parts[0].destination, 2);
        }
    }

    void everyShippedStyleLoadsWithItsSectionsAndDrums()
    {
        const QStringList files = stylesIn(QStringLiteral(CANTOVA_TEST_DATA "/../../resources/Styles"));
        QVERIFY(files.size() >= 5);
        for (const QString& path : files) {
            Session session;
            QVERIFY2(openStyle(session, path), qPrintable(path + QLatin1Char(' ') + ErrorLog::text()));
            const SongState& song = *SongState::of(&session);
            QCOMPARE(song.styleName, QFileInfo(path).completeBaseName());
            // The section track and at least three parts, the drums first (the piano-only
            // accompaniment has none).
            QVERIFY(song.styleTracks.size() >= 4);
            if (!path.endsWith(QLatin1String("/Piano Accompaniment.sty")))
                QCOMPARE(song.styleTracks[1]->channel(), uint16_t(9));
            QStringList sections;
            for (const MidiEvent* e = song.styleTracks[0]->first(); e; e = e->next()) {
                if (e->isMeta() && e->metaType == MidiEvent::MetaMarker)
                    sections << QString::fromLatin1(e->data());
            }
            QCOMPARE(sections.size(), 9);
            QVERIFY(sections.contains(QStringLiteral("Fill In BA")));
        }
    }

    void loadingMakesArrangedTracksAndAFailureFallsBackToTheDefault()
    {
        Session session;
        SongState& song = *SongState::of(&session);
        song.arrangementOff = true;
        QVERIFY(openStyle(session, data(QStringLiteral("drums_by_table.sty"))));
        QCOMPARE(session.trackCount(), 4);
        QCOMPARE(song.arrangedTracks.size(), size_t(4));
        Track* drums = song.arrangedTracks[1];
        QCOMPARE(drums->name(), QStringLiteral("Drums"));
        QCOMPARE(drums->properties().channel, uint16_t(9));
        QCOMPARE(drums->properties().foreground, QColor(Qt::white));
        QCOMPARE(drums->properties().background.rgb(), QColor(Qt::darkRed).rgb());
        QVERIFY(drums->isMuted());
        QCOMPARE(drums->clipCount(), 1);
        QCOMPARE(song.stylePath, data(QStringLiteral("drums_by_table.sty")));

        // The old tracks leave through the undo list; the default piano takes their place.
        QVERIFY(!openStyle(session, data(QStringLiteral("two_main_a.sty"))));
        QCOMPARE(song.styleName, QStringLiteral("Default Piano"));
        QVERIFY(song.stylePath.isEmpty());
        QCOMPARE(session.trackCount(), 1);
        QCOMPARE(song.styleTracks.size(), size_t(1));
        QCOMPARE(song.styleTracks[0]->channel(), uint16_t(8));
        QCOMPARE(song.styleBeats, session.scale().firstNode()->beatsPerBar);
        // Bars 1 to 4 of four beats with four notes each.
        int notes = 0;
        for (const MidiEvent* e = song.styleTracks[0]->first(); e; e = e->next())
            notes += e->isNote();
        QCOMPARE(notes, 4 * 4 * 4);
        QCOMPARE(song.styleTracks[0]->length(), 5u * 4u * session.scale().ticksPerBeat());

        // Undoing everything brings the first style's tracks back and takes the default's out.
        for (int n = session.commands().count(); n > 0 && session.commands().currentIndex() >= 0; --n)
            QVERIFY(session.commands().revert());
        QCOMPARE(session.trackCount(), 0);
        // The default's track is gone: closing reports it instead of removing a stranger.
        QVERIFY(!closeStyle(session, true));
        QVERIFY(ErrorLog::text().contains(QStringLiteral("closeStyle: track removing error")));
    }
};

QTEST_GUILESS_MAIN(TestStyleReader)
#include "tst_style_reader.moc"
