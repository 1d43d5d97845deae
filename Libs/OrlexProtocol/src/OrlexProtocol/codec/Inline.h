#pragma once
// CORV_CODEC_INLINE: for the few small operations every written or read value goes through, which
// must be inlined also inside the large generated writers and readers.

#define CORV_CODEC_INLINE inline __attribute__((always_inline))
