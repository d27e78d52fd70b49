// PNG output through libgd, and whole pictures held by libgd for drawing
// over before they are written.
#pragma once

#include <string>

#include "image/image_writer.h"

struct gdImageStruct;

namespace vant {

class ByteSink;

// PNG at libgd's default compression; false when the picture could not be
// made or encoded (a write failure is the sink's to tell).
bool encodePngRows(RowSource& rows, ByteSink& out);
// Written beside the target and renamed over it when complete; true when
// written, failures reported through the run's message boxes.
bool writePngRows(Runtime& rt, const std::string& path, RowSource& rows);

// A whole picture held by libgd as true-colour words, to draw over before
// it is written; it hands its rows out again, top first.
class TrueColorPicture : public RowSource {
public:
    explicit TrueColorPicture(RowSource& rows);
    ~TrueColorPicture() override;
    TrueColorPicture(const TrueColorPicture&) = delete;
    TrueColorPicture& operator=(const TrueColorPicture&) = delete;

    bool ok() const { return image_ != nullptr; }
    gdImageStruct* image() const { return image_; }
    int width() const override;
    int height() const override;
    int bandRows() const override { return 1; }
    bool next(uint8_t* band) override;
    bool nextTrueColor(int* const* rows) override;

private:
    gdImageStruct* image_ = nullptr;
    int row_ = 0;
};

}  // namespace vant
