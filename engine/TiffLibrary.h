#pragma once

#include <QLibrary>
#include <QString>

#include <tiffio.h>

// libtiff, loaded the first time a TIFF file is opened. Linked, it would bring
// its own codecs' libraries (WebP, LERC, JBIG, LZMA, ...) into every start of
// the tool, most of whose runs read no TIFF: the dynamic loader's work at start
// tripled.
//
// The functions used are the library's own, resolved by name; their types come
// from libtiff's header, so a change of signature fails the build.
class TiffLibrary
{
public:
    // The library for the process, loaded once by whichever thread asks first.
    // Throws KelvarinError naming the library and the reason when it cannot
    // be loaded.
    static const TiffLibrary &instance();

    TiffLibrary(const QString &fileName, int majorVersion);
    TiffLibrary(const TiffLibrary &) = delete;
    TiffLibrary &operator=(const TiffLibrary &) = delete;

    bool isLoaded() const { return m_errorString.isEmpty(); }
    QString errorString() const { return m_errorString; }

    decltype(&::TIFFOpenOptionsAlloc) openOptionsAlloc = nullptr;
    decltype(&::TIFFOpenOptionsFree) openOptionsFree = nullptr;
    decltype(&::TIFFOpenOptionsSetErrorHandlerExtR) openOptionsSetErrorHandlerExtR = nullptr;
    decltype(&::TIFFOpenOptionsSetWarningHandlerExtR) openOptionsSetWarningHandlerExtR = nullptr;
    decltype(&::TIFFOpenOptionsSetMaxSingleMemAlloc) openOptionsSetMaxSingleMemAlloc = nullptr;
    decltype(&::TIFFClientOpenExt) clientOpenExt = nullptr;
    decltype(&::TIFFClose) close = nullptr;
    decltype(&::TIFFGetField) getField = nullptr;
    decltype(&::TIFFIsTiled) isTiled = nullptr;
    decltype(&::TIFFTileSize64) tileSize64 = nullptr;
    decltype(&::TIFFScanlineSize64) scanlineSize64 = nullptr;
    decltype(&::TIFFReadEncodedStrip) readEncodedStrip = nullptr;
    decltype(&::TIFFComputeStrip) computeStrip = nullptr;
    decltype(&::TIFFComputeTile) computeTile = nullptr;
    decltype(&::TIFFReadEncodedTile) readEncodedTile = nullptr;

private:
    bool resolveAll();
    template<typename Function> bool resolve(const char *name, Function &function);

    QLibrary m_library;
    QString m_errorString;
};
