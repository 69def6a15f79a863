#include "swscalelibrary.h"

#include <QLibrary>

extern "C" {
#include <libswscale/version.h>
}

#include <optional>

template<typename Function>
static bool resolve(QLibrary &library, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(library.resolve(name));
    return function != nullptr;
}

// The version the program was built against, as its package depends on it.
static std::optional<SwscaleLibrary> load()
{
    QLibrary library(QStringLiteral("swscale"), LIBSWSCALE_VERSION_MAJOR);
    SwscaleLibrary functions;
    if (resolve(library, "sws_getContext", functions.getContext)
        && resolve(library, "sws_getCoefficients", functions.getCoefficients)
        && resolve(library, "sws_setColorspaceDetails", functions.setColorspaceDetails)
        && resolve(library, "sws_scale", functions.scale) && resolve(library, "sws_freeContext", functions.freeContext))
        return functions;
    return std::nullopt;
}

// Once, and kept loaded while the program runs.
const SwscaleLibrary *SwscaleLibrary::get()
{
    static const std::optional<SwscaleLibrary> library = load();
    return library ? &*library : nullptr;
}
