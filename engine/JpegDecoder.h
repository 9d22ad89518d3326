#pragma once

#include "ImageDecoder.h"

// JPEG through libjpeg-turbo: grey and colour, baseline and progressive.
// Decoding skips the rows above the first row asked for (without their
// inverse transform), decodes only the columns the requests reach (and a
// margin, so that the colour upsampling sees the same neighbours as in a full
// decoding) and stops after the last row asked for. A cut file, a damaged
// stream and a progressive file of absurdly many scans are refused.
class JpegDecoder : public ImageDecoder
{
public:
    explicit JpegDecoder(ImageBytes source);
    ~JpegDecoder() override;

    void open() override;
    void readKeys(const std::vector<BitmapFile::KeyRequest> &requests) override;
    void readPicture(const BitmapFile::PictureRequest &request) override;

    struct Reader;

private:
    // Decodes rows first..last of columns x1..x2 (at least), handing each to
    // `use(y, row)`, where the row's pixel x lies at row + x * pixel bytes.
    template<typename Use>
    void decodeRows(int first, int last, int x1, int x2, const Use &use);
    [[noreturn]] void failed(const Reader &reader) const;
};
