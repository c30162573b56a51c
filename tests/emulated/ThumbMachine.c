#include "ThumbMachine.h"

#include <mgba/core/config.h>
#include <mgba/core/core.h>
#include <mgba/gba/core.h>
#include <mgba/internal/arm/arm.h>
#include <mgba/internal/arm/isa-inlines.h>
#include <mgba-util/vfs.h>

#include <stdlib.h>

struct ThumbMachine {
    struct mCore* core;
};

// The header's first halfword: no routine of a game branches to it, so reaching it means the
// routine under test returned.
static const uint32_t kReturnAddress = 0x08000000u;

// The configuration made with the core is the caller's to free: the core's deinit leaves it.
static void DestroyCore(struct mCore* core)
{
    mCoreConfigDeinit(&core->config);
    core->deinit(core);
}

struct ThumbMachine* ThumbMachineCreate(const uint8_t* rom, size_t size)
{
    struct VFile* file = VFileFromConstMemory(rom, size);
    if (file == NULL) return NULL;
    struct mCore* core = GBACoreCreate();
    if (core == NULL) {
        file->close(file);
        return NULL;
    }
    core->init(core);
    mCoreInitConfig(core, NULL);
    if (!core->loadROM(core, file)) {
        DestroyCore(core);
        return NULL;
    }
    core->reset(core);
    struct ThumbMachine* machine = malloc(sizeof *machine);
    if (machine == NULL) {
        DestroyCore(core);
        return NULL;
    }
    machine->core = core;
    return machine;
}

void ThumbMachineDestroy(struct ThumbMachine* machine)
{
    if (machine == NULL) return;
    DestroyCore(machine->core);
    free(machine);
}

struct ThumbCallResult ThumbMachineCall(struct ThumbMachine* machine, uint32_t address, const uint32_t args[4],
                                        uint32_t maxSteps)
{
    struct ThumbCallResult result = {0, 0, 0, 0};
    struct ARMCore* cpu = machine->core->cpu;
    for (int i = 0; i < 4; ++i) cpu->gprs[i] = (int32_t) args[i];
    cpu->gprs[ARM_SP] = 0x03007E00;
    cpu->gprs[ARM_LR] = (int32_t) (kReturnAddress | 1u);
    cpu->cpsr.t = 1;
    _ARMSetMode(cpu, MODE_THUMB);
    cpu->gprs[ARM_PC] = (int32_t) (address & ~1u);
    ThumbWritePC(cpu);
    // After a branch the program counter stands two bytes past the next instruction to run.
    while (result.steps < maxSteps) {
        if ((uint32_t) cpu->gprs[ARM_PC] - 2u == kReturnAddress) {
            result.returned = 1;
            break;
        }
        machine->core->step(machine->core);
        ++result.steps;
    }
    result.r0 = (uint32_t) cpu->gprs[0];
    result.r1 = (uint32_t) cpu->gprs[1];
    return result;
}

uint32_t ThumbMachineRead32(struct ThumbMachine* machine, uint32_t address)
{
    return machine->core->busRead32(machine->core, address);
}
