// The record EMSCEvaluate takes by value: five 32-bit words on the stack.
// Shared with the development library; no Windows header.
#pragma once

#include <cstddef>
#include <cstdint>

struct EmscRequest {
    uint8_t command;        // EC_CMD_READ or EC_CMD_WRITE; the library looks at this byte only
    uint8_t abyPadding[3];
    uint8_t* inBuffer;      // bytes for the EC: {register} or {register, value}
    uint32_t inLength;
    uint8_t* outBuffer;     // reply buffer; null for a write
    uint32_t outLength;
};

static_assert(sizeof(void*) == 4, "EMSCEvaluate is a 32-bit interface");
static_assert(sizeof(EmscRequest) == 20, "EmscRequest is five words");
static_assert(offsetof(EmscRequest, command) == 0);
static_assert(offsetof(EmscRequest, inBuffer) == 4);
static_assert(offsetof(EmscRequest, inLength) == 8);
static_assert(offsetof(EmscRequest, outBuffer) == 12);
static_assert(offsetof(EmscRequest, outLength) == 16);
