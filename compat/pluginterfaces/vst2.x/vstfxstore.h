// The bank record of a VST2 chunk bank, as JUCE's VST3 wrapper reads and writes it
// when the VST3 classes replace a VST2 edition of the plug-in. Only the record the
// wrapper uses is declared. All fields are stored big-endian.
//
// JUCE includes this header inside its own namespace, after <cstdint>.

#pragma once

struct fxBank
{
    int32_t chunkMagic;    // 'CcnK'
    int32_t byteSize;      // size of the bank after this field
    int32_t fxMagic;       // 'FBCh': the bank carries one opaque chunk
    int32_t version;
    int32_t fxID;          // the plug-in's unique ID
    int32_t fxVersion;     // the plug-in's version code
    int32_t numPrograms;
    char future[128];      // reserved, zero

    union
    {
        struct
        {
            int32_t size;  // byte size of the chunk
            char chunk[1]; // the first byte of the chunk; the rest follows
        } data;
    } content;
};
