#pragma once

#include "ImageDecoder.h"

#include <vector>

typedef struct tiff TIFF;

// TIFF through libtiff: the first page, grey (black 0 or, inverted, white 0),
// colour or palette, with or without an extra alpha sample, 8 or 16 bits (1,
// 2 or 4 for palettes and grey), samples of a pixel together or in separate
// planes, in strips or tiles, uncompressed or with any compression libtiff
// decodes (LZW, Deflate, PackBits among them), the first row at the top or at
// the bottom. Only the strips or tiles that hold a requested row are read and
// decoded; of tiles, only those a request reaches across. Uncompressed strips
// are read by libtiff straight into the band they fill.
class TiffDecoder : public ImageDecoder
{
public:
    explicit TiffDecoder(ImageBytes source);
    ~TiffDecoder() override;

    void open() override;
    void readKeys(const std::vector<BitmapFile::KeyRequest> &requests) override;
    void readPicture(const BitmapFile::PictureRequest &request) override;

    struct Client;

private:
    // Rows are stored in bands: band b, a strip or a row of tiles, holds the
    // stored rows b * m_bandRows .. (b + 1) * m_bandRows - 1. The stored row of
    // image row y (counted from the top) is storedRow(y), and back.
    int storedRow(int y) const { return m_bottomUp ? m_height - 1 - y : y; }
    int bandOf(int y) const { return storedRow(y) / m_bandRows; }
    // Decodes band b into m_band as rows of SampleLayout, of tiles only
    // columns x1..x2; returns the start of the band's first stored row.
    const quint8 *decodeBand(int band, int x1, int x2);
    const quint8 *rowOf(const quint8 *band, int bandIndex, int y) const
    {
        return band + qint64(storedRow(y) - bandIndex * m_bandRows) * m_rowBytes;
    }
    // One plane's rows of a band as stored (m_planeRowBytes a row) at dst.
    void readPlane(int band, int plane, int rows, int x1, int x2, quint8 *dst);
    void interleave(int plane, int rows);
    void widen(int rows);

    void checkLayout();
    void checkPhotometric(quint16 photometric, quint16 samples);
    void readPalette();
    void checkOrientation();
    void checkBands();
    [[noreturn]] void failed(const char *what) const;

    std::unique_ptr<Client> m_client;
    TIFF *m_tiff = nullptr;
    int m_bits = 8;              // bits a sample as stored
    int m_planes = 1;            // 1, or the samples a pixel when they lie in planes
    bool m_invert = false;       // white is 0
    bool m_bottomUp = false;     // the first stored row is the bottom one
    bool m_tiled = false;
    int m_bandRows = 1;
    int m_tileWidth = 0;
    qint64 m_rowBytes = 0;       // a row as SampleLayout describes it
    qint64 m_planeRowBytes = 0;  // a row of one plane as stored
    std::vector<quint8> m_band;
    std::vector<quint8> m_stored;  // a band as stored, when it must be rearranged
    std::vector<quint8> m_tile;
};
