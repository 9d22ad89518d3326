#pragma once

#include "ImageDecoder.h"

#include <vector>

typedef struct tiff TIFF;

// TIFF through libtiff: the first page, grey or colour (with or without an
// extra alpha sample), 8 or 16 bits, in strips or tiles, uncompressed or with
// any compression libtiff decodes (LZW, Deflate, PackBits among them). Only
// the strips or tiles that hold a requested row are read and decoded; of
// tiles, only those a request reaches across.
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
    // The bands of rows a strip or a row of tiles holds: band b is rows
    // b * m_bandRows .. (b + 1) * m_bandRows - 1.
    int bandOf(int y) const { return y / m_bandRows; }
    // Decodes band b into m_band (full rows), of tiles only columns x1..x2.
    const quint8 *decodeBand(int band, int x1, int x2);
    void checkLayout();
    [[noreturn]] void failed(const char *what) const;

    std::unique_ptr<Client> m_client;
    TIFF *m_tiff = nullptr;
    bool m_tiled = false;
    int m_bandRows = 1;
    int m_tileWidth = 0;
    qint64 m_rowBytes = 0;
    std::vector<quint8> m_band;
    std::vector<quint8> m_tile;
};
