// The bus commands over the engine base, which is what both engines share.
#include "bus.h"
#include "bus_command.h"
#include "engine.h"
#include "session.h"
#include "track.h"

#include <QTest>

namespace {

/** An engine that records which of its bus hooks ran. */
class HookEngine : public Engine
{
public:
    using Engine::Engine;
    void openBus(Bus* bus) override { log << QStringLiteral("open ") + bus->name(); }
    void closeBus(Bus* bus) override { log << QStringLiteral("close ") + bus->name(); }
    void busesChanged() override { log << QStringLiteral("re-pick"); }
    QStringList log;
};

} // namespace

class TestBusCommand : public QObject
{
    Q_OBJECT

    std::unique_ptr<Session> m_session;
    HookEngine* m_midi = nullptr;

    Track* addMidiTrack(const QString& bus)
    {
        auto* track = new Track(m_session.get(), Track::MidiTrack);
        Track::Properties props = track->properties();
        props.outputBus = bus;
        props.inputBus = bus;
        track->setProperties(props);
        m_session->addTrack(track);
        return track;
    }

private Q_SLOTS:
    void init()
    {
        m_session =
            std::make_unique<Session>([this](Session* s, int kind) -> std::unique_ptr<Engine> {
                auto engine = std::make_unique<HookEngine>(s, kind);
                if (kind == Engine::MidiKind)
                    m_midi = engine.get();
                return engine;
            });
        for (Engine* e : {m_session->audioEngine(), m_session->midiEngine()}) {
            e->init();
            e->activate();
        }
        m_session->ensureMasterBuses();
        m_midi->log.clear();
    }

    void cleanup() { m_session.reset(); }

    void createBusUndoRedoKeepsTheSameBus()
    {
        CommandList& list = m_session->commands();
        QVERIFY(m_session->push(std::make_unique<CreateBusCommand>(
            m_session.get(), Engine::MidiKind, QStringLiteral("Synth"), Bus::Output)));
        Bus* bus = m_midi->findBus(QStringLiteral("Synth"));
        QVERIFY(bus);
        QCOMPARE(list.current()->name(), QStringLiteral("create bus"));
        QVERIFY(!list.current()->ownsObject());
        QCOMPARE(m_midi->log, QStringList({"open Synth", "re-pick"}));

        list.revert();
        QVERIFY(!m_midi->findBus(QStringLiteral("Synth")));
        QVERIFY(list.next()->ownsObject());
        list.redo();
        QCOMPARE(m_midi->findBus(QStringLiteral("Synth")), bus);
        QCOMPARE(m_midi->busIndex(bus), 1);
        QCOMPARE(m_session->audioEngine()->buses().size(), size_t(1)); // only its own kind
    }

    void deleteBusDetachesAndRestoresTracks()
    {
        Bus* master = m_midi->findBus(QStringLiteral("Master"));
        Track* track = addMidiTrack(QStringLiteral("Master"));
        QCOMPARE(track->outputBus(), master);
        m_midi->log.clear();

        QVERIFY(m_session->push(
            std::make_unique<DeleteBusCommand>(m_session.get(), Engine::MidiKind, master)));
        QVERIFY(m_midi->buses().empty());
        QVERIFY(!track->outputBus() && !track->inputBus() && !track->monitor());
        QCOMPARE(m_midi->log, QStringList({"close Master", "re-pick"}));
        QVERIFY(m_session->commands().current()->ownsObject());

        m_session->commands().revert();
        QCOMPARE(m_midi->findBus(QStringLiteral("Master")), master);
        QCOMPARE(track->outputBus(), master);
        QVERIFY(track->monitor());

        // Applying the delete again on a bus that is gone reports failure.
        auto again = std::make_unique<DeleteBusCommand>(m_session.get(), Engine::MidiKind, master);
        DeleteBusCommand* raw = again.get();
        QVERIFY(m_session->push(std::move(again)));
        QVERIFY(!raw->apply());
    }

    void updateBusSwapsSettingsAndRenamesTrackBus()
    {
        Bus* master = m_midi->findBus(QStringLiteral("Master"));
        Track* track = addMidiTrack(QStringLiteral("Master"));
        m_midi->log.clear();
        QVERIFY(m_session->push(std::make_unique<UpdateBusCommand>(
            m_session.get(), Engine::MidiKind, master, QStringLiteral("Out"), Bus::Output, true)));
        QCOMPARE(master->name(), QStringLiteral("Out"));
        QCOMPARE(master->flags(), int(Bus::Output));
        QVERIFY(master->passThrough());
        QCOMPARE(m_midi->log, QStringList({"close Master", "open Out", "re-pick"}));
        QCOMPARE(track->outputBus(), master);
        QCOMPARE(track->properties().outputBus, QStringLiteral("Out"));
        QCOMPARE(m_session->commands().current()->name(), QStringLiteral("update bus"));

        m_session->commands().revert();
        QCOMPARE(master->name(), QStringLiteral("Master"));
        QCOMPARE(master->flags(), int(Bus::Duplex));
        QVERIFY(!master->passThrough());
        QCOMPARE(track->properties().outputBus, QStringLiteral("Master"));
        QCOMPARE(track->inputBus(), master);
        m_session->commands().redo();
        QCOMPARE(master->name(), QStringLiteral("Out"));
    }

    void passThroughSwaps()
    {
        Bus* master = m_session->audioEngine()->findBus(QStringLiteral("Master"));
        QVERIFY(m_session->push(std::make_unique<BusPassthruCommand>(
            m_session.get(), Engine::AudioKind, master, true)));
        QVERIFY(master->passThrough());
        QCOMPARE(m_session->commands().current()->name(), QStringLiteral("bus pass-through"));
        m_session->commands().revert();
        QVERIFY(!master->passThrough());
        m_session->commands().redo();
        QVERIFY(master->passThrough());
    }
};

QTEST_GUILESS_MAIN(TestBusCommand)
#include "tst_bus_command.moc"
