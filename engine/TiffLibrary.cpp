#include "TiffLibrary.h"

#include "KelvarinError.h"

const TiffLibrary &TiffLibrary::instance()
{
    static const TiffLibrary library(QStringLiteral("tiff"), KELVARIN_LIBTIFF_MAJOR);
    if (!library.isLoaded())
        throw KelvarinError(library.errorString());
    return library;
}

TiffLibrary::TiffLibrary(const QString &fileName, int majorVersion) : m_library(fileName, majorVersion)
{
    if (!m_library.load()) {
        m_errorString = QStringLiteral("библиотека libtiff (%1) не загружается: %2")
                            .arg(m_library.fileName(), m_library.errorString());
        return;
    }
    resolveAll();
}

bool TiffLibrary::resolveAll()
{
    return resolve("TIFFOpenOptionsAlloc", openOptionsAlloc) && resolve("TIFFOpenOptionsFree", openOptionsFree)
        && resolve("TIFFOpenOptionsSetErrorHandlerExtR", openOptionsSetErrorHandlerExtR)
        && resolve("TIFFOpenOptionsSetWarningHandlerExtR", openOptionsSetWarningHandlerExtR)
        && resolve("TIFFOpenOptionsSetMaxSingleMemAlloc", openOptionsSetMaxSingleMemAlloc)
        && resolve("TIFFClientOpenExt", clientOpenExt) && resolve("TIFFClose", close)
        && resolve("TIFFGetField", getField) && resolve("TIFFIsTiled", isTiled)
        && resolve("TIFFTileSize64", tileSize64) && resolve("TIFFScanlineSize64", scanlineSize64)
        && resolve("TIFFReadEncodedStrip", readEncodedStrip) && resolve("TIFFComputeStrip", computeStrip)
        && resolve("TIFFComputeTile", computeTile)
        && resolve("TIFFReadEncodedTile", readEncodedTile);
}

template<typename Function> bool TiffLibrary::resolve(const char *name, Function &function)
{
    function = reinterpret_cast<Function>(m_library.resolve(name));
    if (!function) {
        m_errorString
            = QStringLiteral("в библиотеке libtiff (%1) нет функции %2").arg(m_library.fileName(), QLatin1String(name));
    }
    return function != nullptr;
}
