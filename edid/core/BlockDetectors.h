#pragma once
// The block codec registry: which codecs the root parser can choose from, in
// the order their detectors are asked (the first that accepts a block wins).

#include <cstdint>
#include <vector>

class ECEntry;
class ECHelper;
class ECTreeView;

// Destroys a codec object (and everything it created).
using ECCodecDeleter = void (*)(ECHelper* codec);
// Returns the codec's deleter when it accepts the block, else null.
using ECBlockDetector = ECCodecDeleter (*)(const uint8_t* bytes, int32_t length);
// Creates the codec: (collection root, block index, length, the parser's own
// bytes, tree view or none).
using ECCodecFactory = ECHelper* (*)(ECEntry* parent, int32_t index, int32_t length, uint8_t* bytes, ECTreeView* view);

struct ECBlockCodec {
    ECBlockDetector detect;
    ECCodecFactory create;
};

// The detectors of this build, in order.
const std::vector<ECBlockCodec>& ECBlockCodecs();
