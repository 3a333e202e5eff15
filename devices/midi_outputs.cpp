#include "midi_outputs.h"

#include "alsa_midi_output.h"
#include "synth_midi_output.h"

#include <QCoreApplication>
#include <QSettings>

namespace {
const QString kAlsaPrefix = QStringLiteral("alsa:");
const QString kNameSeparator = QStringLiteral("::");
} // namespace

const char* const MidiOutputs::kSettingsKey = "/MidiOutput";
const char* const MidiOutputs::kBuiltInId = "builtin";

QList<MidiOutputChoice> MidiOutputs::available()
{
    QList<MidiOutputChoice> choices;
    choices.append(
        {QString::fromLatin1(kBuiltInId),
         QCoreApplication::translate("MidiOutputs", "Built-in General MIDI synthesizer")});
    for (const AlsaMidiOutput::Port& port : AlsaMidiOutput::synthPorts()) {
        choices.append({alsaId(port.clientName, port.portName),
                        QCoreApplication::translate("MidiOutputs", "%1: %2 (ALSA %3:%4)")
                            .arg(port.clientName, port.portName)
                            .arg(port.client)
                            .arg(port.port)});
    }
    return choices;
}

QString MidiOutputs::selectedId()
{
    const QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Cantova"));
    const QString id = settings.value(QString::fromLatin1(kSettingsKey)).toString();
    return id.isEmpty() ? QString::fromLatin1(kBuiltInId) : id;
}

QString MidiOutputs::alsaId(const QString& clientName, const QString& portName)
{
    return kAlsaPrefix + clientName + kNameSeparator + portName;
}

std::unique_ptr<MidiOutput> MidiOutputs::create(const QString& id, QString* error)
{
    if (id == QLatin1String(kBuiltInId))
        return std::make_unique<SynthMidiOutput>();
    if (id.startsWith(kAlsaPrefix)) {
        const QString names = id.mid(kAlsaPrefix.size());
        const qsizetype split = names.indexOf(kNameSeparator);
        if (split < 0)
            return std::make_unique<AlsaMidiOutput>(QString(), QString());
        return std::make_unique<AlsaMidiOutput>(names.left(split),
                                                names.mid(split + kNameSeparator.size()));
    }
    *error = QStringLiteral("Unknown MIDI output \"%1\" (setting %2)")
                 .arg(id, QString::fromLatin1(kSettingsKey));
    return nullptr;
}
