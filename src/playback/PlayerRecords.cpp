#include "playback/PlayerRecords.h"

#include <cstring>

namespace corvanta {

PlayerOpenBlock MakePlayerOpenBlock(const FileDescription& description, uint32_t firstFrame, const char* fileName) {
    PlayerOpenBlock block{};
    block.info = description.info;
    std::memcpy(block.further, description.further, sizeof block.further);
    block.frameCount = description.frameCount;
    block.firstFrame = firstFrame;
    if (fileName) std::strncpy(block.fileName, fileName, sizeof block.fileName - 1);
    return block;
}

}  // namespace corvanta
