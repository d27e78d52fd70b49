#include "image/texture_table.h"

namespace vant {

int TextureTable::take() {
    if (counter_ >= Capacity) return -1;
    return counter_++;
}

void TextureTable::restart() {
    counter_ = restartPoint_;
    tileTextures.clear();
}

}  // namespace vant
