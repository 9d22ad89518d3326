#pragma once

#include "ImageDecoder.h"

// PNG through libpng: grey, grey with alpha, colour, colour with alpha and
// palette pictures of 1 to 16 bits, interlaced or not. Rows are decoded from
// the top and decoding stops after the last row asked for; an interlaced
// picture, whose last pass reaches the bottom, is decoded whole. A bad CRC,
// a damaged compressed stream and a cut file are refused with their reason.
class PngDecoder : public ImageDecoder
{
public:
    explicit PngDecoder(ImageBytes source);
    ~PngDecoder() override;

    void open() override;
    void readKeys(const std::vector<BitmapFile::KeyRequest> &requests) override;
    void readPicture(const BitmapFile::PictureRequest &request) override;

    struct Reader;

private:
    // Decodes rows 0..last, handing each to `use(y, row)`.
    template<typename Use>
    void decodeRows(int last, const Use &use);
    [[noreturn]] void failed(const Reader &reader) const;

    bool m_interlaced = false;
    qint64 m_rowBytes = 0;
};
