#pragma once

// A GBA core that runs one Thumb routine of a ROM image at a time and hands back what it
// returned, so that tests can hold the ROM's own code (and any code Quillbox writes into it) to
// what the tables beside it must give. C, because the emulator's CPU interface is C.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct ThumbMachine;

// The machine keeps no copy: `rom` must outlive it. Null when the core refuses the image.
struct ThumbMachine* ThumbMachineCreate(const uint8_t* rom, size_t size);
void ThumbMachineDestroy(struct ThumbMachine* machine);

struct ThumbCallResult {
    int returned;       // 0 when the routine ran `maxSteps` instructions without returning
    uint32_t r0;
    uint32_t r1;
    uint32_t steps;
};

// Calls the routine at the GBA address `address` (0x08000000 + file offset; the Thumb bit may be
// set) with r0 to r3 as `args` gives them, the return address pointing at a place the routine
// never reaches, and runs it until it returns there.
struct ThumbCallResult ThumbMachineCall(struct ThumbMachine* machine, uint32_t address, const uint32_t args[4],
                                        uint32_t maxSteps);

// What the routine left in memory: the word at a GBA address.
uint32_t ThumbMachineRead32(struct ThumbMachine* machine, uint32_t address);

#ifdef __cplusplus
}
#endif
