#include "encoderoptions.h"

#include "settings/settingsstore.h"

#include <QCoreApplication>

#include <algorithm>

const QList<EncoderOptions::Entry> &EncoderOptions::entries()
{
    static const QList<Entry> list{
        {{1920, 1080}, QT_TRANSLATE_NOOP("optDialog", "1920x1080")},
        {{1280, 720}, QT_TRANSLATE_NOOP("optDialog", "1280x720")},
        {{960, 576}, QT_TRANSLATE_NOOP("optDialog", "960x576")},
        {{720, 576}, QT_TRANSLATE_NOOP("optDialog", "720x576")},
    };
    return list;
}

bool EncoderOptions::offers(const Resolution &resolution)
{
    const QList<Entry> &offered = entries();
    return std::any_of(offered.cbegin(), offered.cend(),
                       [&resolution](const Entry &entry) { return entry.resolution == resolution; });
}

// The stored value when it is a whole number from min to max, else fallback.
static int storedNumber(const QSettings &settings, const QString &key, int fallback, int min, int max)
{
    bool ok = false;
    const qlonglong value = settings.value(key).toString().toLongLong(&ok);
    return ok && value >= min && value <= max ? int(value) : fallback;
}

EncoderOptions EncoderOptions::read(const QSettings &settings)
{
    EncoderOptions options;
    const int anySize = std::numeric_limits<int>::max();
    const Resolution stored{storedNumber(settings, SettingsKeys::width, 0, 1, anySize),
                            storedNumber(settings, SettingsKeys::height, 0, 1, anySize)};
    // Width and height go together: a pair the dialog does not offer reads as the default pair.
    if (offers(stored)) {
        options.width = stored.width;
        options.height = stored.height;
    }
    options.frames = storedNumber(settings, SettingsKeys::nFrames, options.frames, minFrames, maxFrames);
    options.quality =
        storedNumber(settings, SettingsKeys::quality, options.quality, minQuality, maxQuality);
    return options;
}
