#include "tuning_setting.h"

#include <QSettings>

std::optional<NoteRefiner::Tuning> TuningSetting::fromText(const QString& text)
{
    if (text.compare(QLatin1String("follow"), Qt::CaseInsensitive) == 0)
        return NoteRefiner::Tuning::FollowSinger;
    if (text.compare(QLatin1String("classic"), Qt::CaseInsensitive) == 0)
        return NoteRefiner::Tuning::Classic;
    return std::nullopt;
}

QString TuningSetting::text(NoteRefiner::Tuning tuning)
{
    return tuning == NoteRefiner::Tuning::Classic ? QStringLiteral("classic")
                                                  : QStringLiteral("follow");
}

NoteRefiner::Tuning TuningSetting::read(const QSettings& store)
{
    return fromText(store.value(key()).toString()).value_or(NoteRefiner::Tuning::FollowSinger);
}

NoteRefiner::Tuning TuningSetting::readUserChoice()
{
    const QSettings store(QStringLiteral("Orvane"), QStringLiteral("Cantova"));
    return read(store);
}

void TuningSetting::write(QSettings& store, NoteRefiner::Tuning tuning)
{
    store.setValue(key(), text(tuning));
}
