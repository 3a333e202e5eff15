#include "chord_finder_setting.h"

#include <QSettings>

std::optional<ChordFinderKind> ChordFinderSetting::fromText(const QString& text)
{
    if (text.compare(QLatin1String("progression"), Qt::CaseInsensitive) == 0)
        return ChordFinderKind::Progression;
    if (text.compare(QLatin1String("classic"), Qt::CaseInsensitive) == 0)
        return ChordFinderKind::Classic;
    return std::nullopt;
}

QString ChordFinderSetting::text(ChordFinderKind kind)
{
    return kind == ChordFinderKind::Classic ? QStringLiteral("classic")
                                            : QStringLiteral("progression");
}

ChordFinderKind ChordFinderSetting::read(const QSettings& store)
{
    return fromText(store.value(key()).toString()).value_or(ChordFinderKind::Progression);
}

void ChordFinderSetting::write(QSettings& store, ChordFinderKind kind)
{
    store.setValue(key(), text(kind));
}

ChordFinderKind ChordFinderSetting::current()
{
    const QSettings store(QStringLiteral("Orvane"), QStringLiteral("Cantova"));
    return read(store);
}
