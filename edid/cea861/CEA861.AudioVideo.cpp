// CEA861: audio (tag 1), video (tag 2), speaker allocation (tag 4) and VESA
// display transfer characteristic (tag 5) data blocks.

#include "edid/cea861/CEA861.h"

#include "edid/core/ECFormat.h"

namespace {

constexpr const char* kAudioFormatItems =
    "PCM\r\nAC-3\r\nMPEG-1\r\nMP3\r\nMPEG2\r\nAAC LC\r\nDTS\r\nATRAC\r\nDSD\r\nE-AC-3\r\nDTS-HD\r\nMLP\r\nDST\r\n"
    "WMA Pro\r\nExtended";

// The CTA-861 video identification codes 1 to 64.
constexpr const char* kVicNames =
    "640x480p 59.94Hz/60Hz 4:3\r\n720x480p 59.94Hz/60Hz 4:3\r\n720x480p 59.94Hz/60Hz 16:9\r\n"
    "1280x720p 59.94Hz/60Hz 16:9\r\n1920x1080i 59.94Hz/60Hz 16:9\r\n720(1440)x480i 59.94Hz/60Hz 4:3\r\n"
    "720(1440)x480i 59.94Hz/60Hz 16:9\r\n720(1440)x240p 59.94Hz/60Hz 4:3\r\n720(1440)x240p 59.94Hz/60Hz 16:9\r\n"
    "2880x480i 59.94Hz/60Hz 4:3\r\n2880x480i 59.94Hz/60Hz 16:9\r\n2880x240p 59.94Hz/60Hz 4:3\r\n"
    "2880x240p 59.94Hz/60Hz 16:9\r\n1440x480p 59.94Hz/60Hz 4:3\r\n1440x480p 59.94Hz/60Hz 16:9\r\n"
    "1920x1080p 59.94Hz/60Hz 16:9\r\n720x576p 50Hz 4:3\r\n720x576p 50Hz 16:9\r\n1280x720p 50Hz 16:9\r\n"
    "1920x1080i 50Hz 16:9\r\n720(1440)x576i 50Hz 4:3\r\n720(1440)x576i 50Hz 16:9\r\n720(1440)x288p 50Hz 4:3\r\n"
    "720(1440)x288p 50Hz 16:9\r\n2880x576i 50Hz 4:3\r\n2880x576i 50Hz 16:9\r\n2880x288p 50Hz 4:3\r\n"
    "2880x288p 50Hz 16:9\r\n1440x576p 50Hz 4:3\r\n1440x576p 50Hz 16:9\r\n1920x1080p 50Hz 16:9\r\n"
    "1920x1080p 23.97Hz/24Hz 16:9\r\n1920x1080p 25Hz 16:9\r\n1920x1080p 29.97Hz/30Hz 16:9\r\n"
    "2880x480p 59.94Hz/60Hz 4:3\r\n2880x480p 59.94Hz/60Hz 16:9\r\n2880x576p 50Hz 4:3\r\n2880x576p 50Hz 16:9\r\n"
    "1920x1080i (1250 total) 50Hz 16:9\r\n1920x1080i 100Hz 16:9\r\n1280x720p 100Hz 16:9\r\n720x576p 100Hz 4:3\r\n"
    "720x576p 100Hz 16:9\r\n720(1440)x576i 100Hz 4:3\r\n720(1440)x576i 100Hz 16:9\r\n"
    "1920x1080i 119.88/120Hz 16:9\r\n1280x720p 119.88/120Hz 16:9\r\n720x480p 119.88/120Hz 4:3\r\n"
    "720x480p 119.88/120Hz 16:9\r\n720(1440)x480i 119.88/120Hz 4:3\r\n720(1440)x480i 119.88/120Hz 16:9\r\n"
    "720x576p 200Hz 4:3\r\n720x576p 200Hz 16:9\r\n720(1440)x576i 200Hz 4:3\r\n720(1440)x576i 200Hz 16:9\r\n"
    "720x480p 239.76/240Hz 4:3\r\n720x480p 239.76/240Hz 16:9\r\n720(1440)x480i 239.76/240Hz 4:3\r\n"
    "720(1440)x480i 239.76/240Hz 16:9\r\n1280x720p 23.97Hz/24Hz 16:9\r\n1280x720p 25Hz 16:9\r\n"
    "1280x720p 29.97Hz/30Hz 16:9\r\n1920x1080p 119.88/120Hz 16:9\r\n1920x1080p 100Hz 16:9\r\n";

int AudioFormatCode(const uint8_t* s0) { return (s0[0] >> 3) & 0x0F; }

// Reserved bits of a short audio descriptor (s0, s1, s2) by format code.
struct SadReserved {
    uint8_t s0, s1, s2;
};
SadReserved SadReservedMask(int code) {
    if (code == 1 || code == 14) return {0x80, 0x80, 0xF8};
    if (code == 15) return {0x80, 0x80, 0x07};
    return {0x80, 0x80, 0x00};
}

}  // namespace

const char* CEA861::VicNameItems() { return kVicNames; }

// ---------------------------------------------------------------------------
// Audio data block: short audio descriptors of three bytes

void CEA861::BuildAudioBlock(ECEntry* type, uint8_t* block) {
    AddRethink(type, ECT_CEA_COUNT, "Audio Data Block count", Get(&CEA861::GetSadCount), Set(&CEA861::SetSadCount),
               "0-10", "", block, 0, &CEA861::RethinkAudioBlock);
}

ECVariant CEA861::GetSadCount(int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt((data[0] & 0x1F) / 3); }

void CEA861::SetSadCount(int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 10) {
        Report("Out of range - Possible range 0-10", EC_LEVEL_ERROR);
        return;
    }
    data[0] = static_cast<uint8_t>((data[0] & 0xE0) | (3 * value.Integer));
}

void CEA861::RethinkAudioBlock(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    Encode();
    entry->DeleteChilds();
    uint8_t* block = entry->GetData();
    const int count = (block[0] & 0x1F) / 3;
    for (int i = 0; i < count; ++i) {
        AddRethink(entry, ECT_LIST | ECT_RETHINK_ON_SET, "Audio Format", Get(&CEA861::GetAudioFormat),
                   Set(&CEA861::SetAudioFormat), "", kAudioFormatItems, block + 1 + 3 * i, 0,
                   &CEA861::RethinkShortAudioDescriptor);
    }
}

ECVariant CEA861::GetAudioFormat(int32_t, uint8_t* data, EntryInfo*) {
    return ECVariant::OfIndex(AudioFormatCode(data) - 1);
}

void CEA861::SetAudioFormat(int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
    data[0] = static_cast<uint8_t>((data[0] & 0x87) | (((value.Integer + 1) & 0x0F) << 3));
}

void CEA861::RethinkShortAudioDescriptor(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    Encode();
    entry->DeleteChilds();
    uint8_t* s0 = entry->GetData();
    uint8_t* s1 = s0 + 1;
    uint8_t* s2 = s0 + 2;
    Add(entry, ECT_INT, "Maximum number of channels", Get(&CEA861::GetChannels), Set(&CEA861::SetChannels), "1-8", "",
        s0, 0);
    static const char* const kRates[] = {"192 kHz samplerate",  "176.4 kHz samplerate", "96 kHz samplerate",
                                         "88.2 kHz samplerate", "48 kHz samplerate",    "44.1 kHz samplerate",
                                         "32 kHz samplerate"};
    for (int i = 0; i < 7; ++i) AddBit(entry, kRates[i], " supported", s1, 6 - i);

    const int code = AudioFormatCode(s0);
    if (code == 0) return;
    if (code == 1) {
        AddBit(entry, "24 bits per sample", " supported", s2, 2);
        AddBit(entry, "20 bits per sample", " supported", s2, 1);
        AddBit(entry, "16 bits per sample", " supported", s2, 0);
    } else if (code <= 8) {
        Add(entry, ECT_INT, "Max. Bitrate", Get(&CEA861::GetMaxBitrate), Set(&CEA861::SetMaxBitrate), "0-2040 kHz", "",
            s0, 0);
    } else if (code <= 13) {
        Add(entry, ECT_INT, "Audio format dependent value", Get(&CEA861::GetFormatValue), Set(&CEA861::SetFormatValue),
            "0-255", "", s0, 0);
    } else if (code == 14) {
        Add(entry, ECT_INT, "WMPA Pro profile", Get(&CEA861::GetWmaProfile), Set(&CEA861::SetWmaProfile), "0-7", "", s0,
            0);
    } else {
        Add(entry, ECT_LIST, "Extended audio format", Get(&CEA861::GetExtendedFormat), Set(&CEA861::SetExtendedFormat),
            "", "HE-AAC\r\nHE-AACv2\r\nMPEG Surround", s0, 0);
    }
    Add(entry, ECT_ACTION, "Reserved bits", Get(&CEA861::GetSadReserved), Set(&CEA861::ClearSadReserved), "", "", s0,
        0);
}

ECVariant CEA861::GetChannels(int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt((data[0] & 7) + 1); }

void CEA861::SetChannels(int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
    if (value.Integer < 1 || value.Integer > 8) {
        Report("Out of range - Possible range 1-8", EC_LEVEL_ERROR);
        return;
    }
    data[0] = static_cast<uint8_t>((data[0] & 0xF8) | (value.Integer - 1));
    Encode();
}

ECVariant CEA861::GetMaxBitrate(int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[2] * 8); }

void CEA861::SetMaxBitrate(int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 2040) {
        Report("Out of range - Possible range 0-2040 kHz", EC_LEVEL_ERROR);
        return;
    }
    data[2] = static_cast<uint8_t>(value.Integer / 8);
    Encode();
}

ECVariant CEA861::GetFormatValue(int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[2]); }

void CEA861::SetFormatValue(int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 255) {
        Report("Out of range - Possible range 0-255", EC_LEVEL_ERROR);
        return;
    }
    data[2] = static_cast<uint8_t>(value.Integer);
    Encode();
}

ECVariant CEA861::GetWmaProfile(int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[2] & 7); }

void CEA861::SetWmaProfile(int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 7) {
        Report("Out of range - Possible range 0-7", EC_LEVEL_ERROR);
        return;
    }
    data[2] = static_cast<uint8_t>((data[2] & 0xF8) | value.Integer);
    Encode();
}

ECVariant CEA861::GetExtendedFormat(int32_t, uint8_t* data, EntryInfo*) {
    static const char* const kNames[] = {"HE-AAC", "HE-AACv2", "MPEG Surround"};
    const int code = data[2] >> 3;
    return ECVariant::OfText(code >= 1 && code <= 3 ? kNames[code - 1] : "RESERVED");
}

void CEA861::SetExtendedFormat(int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
    if (value.Integer < 0 || value.Integer > 2) {
        Report("Please, select an option", EC_LEVEL_ERROR);
        return;
    }
    data[2] = static_cast<uint8_t>((data[2] & 0x07) | ((value.Integer + 1) << 3));
    Encode();
}

ECVariant CEA861::GetSadReserved(int32_t, uint8_t* data, EntryInfo*) {
    const SadReserved mask = SadReservedMask(AudioFormatCode(data));
    const bool bad = (data[0] & mask.s0) || (data[1] & mask.s1) || (data[2] & mask.s2);
    return ECVariant::OfText(bad ? "Bad" : "Good");
}

void CEA861::ClearSadReserved(int32_t, uint8_t* data, EntryInfo*, ECVariant) {
    const SadReserved mask = SadReservedMask(AudioFormatCode(data));
    data[0] = static_cast<uint8_t>(data[0] & ~mask.s0);
    data[1] = static_cast<uint8_t>(data[1] & ~mask.s1);
    data[2] = static_cast<uint8_t>(data[2] & ~mask.s2);
    Encode();
}

// ---------------------------------------------------------------------------
// Video data block: short video descriptors of one byte

void CEA861::BuildVideoBlock(ECEntry* type, uint8_t* block) {
    AddRethink(type, ECT_CEA_COUNT, "Short video descriptor count", Get(&CEA861::GetSvdCount),
               Set(&CEA861::SetSvdCount), "0-31", "", block, 0, &CEA861::RethinkVideoBlock);
}

ECVariant CEA861::GetSvdCount(int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[0] & 0x1F); }

void CEA861::SetSvdCount(int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
    if (value.Integer < 0 || value.Integer > kMaxPayload) {
        Report("Out of range - Possible range 0-31", EC_LEVEL_ERROR);
        return;
    }
    data[0] = static_cast<uint8_t>((data[0] & 0xE0) | value.Integer);
}

void CEA861::RethinkVideoBlock(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    Encode();
    entry->DeleteChilds();
    uint8_t* block = entry->GetData();
    const int count = block[0] & 0x1F;
    for (int i = 0; i < count; ++i) {
        const std::string name = "Short video desc " + std::to_string(i);
        ECEntry* group = AddGroup(entry, name.c_str(), block + 1 + i);
        AddBit(group, "Native mode", "", block + 1 + i, 7);
        Add(group, ECT_LIST, "Video mode", Get(&CEA861::GetVideoMode), Set(&CEA861::SetVideoMode), "", kVicNames,
            block + 1 + i, 0);
    }
}

ECVariant CEA861::GetVideoMode(int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfIndex((data[0] & 0x7F) - 1); }

void CEA861::SetVideoMode(int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
    data[0] = static_cast<uint8_t>((data[0] & 0x80) | ((value.Integer + 1) & 0x7F));
    Encode();
}

// ---------------------------------------------------------------------------
// Speaker allocation data block

void CEA861::BuildSpeakerBlock(ECEntry* type, uint8_t* block) {
    static const char* const kByte1[] = {"FLW/FRW", "RLC/RRC", "FLC/FRC", "RC", "RL/RR", "FC", "LFE", "FL/FR"};
    for (int i = 0; i < 8; ++i) AddBit(type, kByte1[i], " present", block + 1, 7 - i);
    AddBit(type, "FCH", " present", block + 2, 2);
    AddBit(type, "TC", " present", block + 2, 1);
    AddBit(type, "FLH/FRH", " present", block + 2, 0);
    Add(type, ECT_ACTION, "Reserved bits", Get(&CEA861::SpeakerReservedText), Set(&CEA861::ClearSpeakerReserved), "",
        "", block + 1, 0);
}

ECVariant CEA861::SpeakerReservedText(int32_t, uint8_t* data, EntryInfo*) {
    return ECVariant::OfText(((data[1] & 0xF8) || data[2]) ? "Bad" : "Good");
}

void CEA861::ClearSpeakerReserved(int32_t, uint8_t* data, EntryInfo*, ECVariant) {
    // Only bytes inside the block's length are part of it.
    const int length = BlockOf(data)[0] & 0x1F;
    if (length >= 2) data[1] &= 0x07;
    if (length >= 3) data[2] = 0;
    Encode();
}

// ---------------------------------------------------------------------------
// VESA display transfer characteristic data block: its payload is shown as
// raw bytes; the count is the payload length L, one "Data Byte" per byte.

void CEA861::BuildDtcBlock(ECEntry* type, uint8_t* block) {
    AddRethink(type, ECT_CEA_COUNT, "[Not supported] VESA DTC", Get(&CEA861::GetDtcCount), Set(&CEA861::SetDtcCount),
               "0-31", "", block, 0, &CEA861::RethinkDtcBlock);
}

ECVariant CEA861::GetDtcCount(int32_t, uint8_t* data, EntryInfo*) { return ECVariant::OfInt(data[0] & 0x1F); }

void CEA861::SetDtcCount(int32_t, uint8_t* data, EntryInfo*, ECVariant value) {
    if (value.Integer < 0 || value.Integer > kMaxPayload) {
        Report("Out of range - Possible range 0-31", EC_LEVEL_ERROR);
        return;
    }
    data[0] = static_cast<uint8_t>((data[0] & 0xE0) | value.Integer);
}

void CEA861::RethinkDtcBlock(ECEntry* entry) {
    if (SkipRethink(entry)) return;
    entry->DeleteChilds();
    Encode();
    uint8_t* block = entry->GetData();
    const int length = block[0] & 0x1F;
    for (int n = 0; n < length; ++n) {
        const std::string name = "Data Byte " + std::to_string(n);
        Add(entry, ECT_INT, name.c_str(), Get(&CEA861::GetPayloadByte), Set(&CEA861::SetPayloadByte), "", "",
            block + 1 + n, 7);
    }
}
