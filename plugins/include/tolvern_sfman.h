/* The SoundFont manager library's interface as Tolvern uses it. The library exports the table
 * "SFManager"; its entry 0 is the handshake, which answers 0 and writes the address of the
 * interface table when it supports the version asked for. Entries of the interface table are
 * counted from 0; every entry answers 0 for success. Addresses are pointer-sized. */
#ifndef TOLVERN_SFMAN_H
#define TOLVERN_SFMAN_H

#include <stdint.h>

#define SFMAN_VERSION 0x10001u

#ifdef __cplusplus
extern "C" {
#endif

/* Where an operation works: a bank (0..127) and a preset (0 for bank operations). */
typedef struct SFLocation {
    uint16_t Bank;
    uint16_t Preset;
} SFLocation;

/* A buffer for text in or out: zero-terminated ANSI. Used is set to 1 before a query and
 * written by the library. */
typedef struct SFBuffer {
    uint32_t Size;
    char* Data;
    uint32_t Used;
    uint16_t Flag; /* always 0 */
    uint16_t Unused;
} SFBuffer;

typedef int32_t (*SFHandshake)(uint32_t Version, void*** Interface);
typedef int32_t (*SFBankCall)(int32_t Device, SFLocation* Location, SFBuffer* Buffer);
typedef int32_t (*SFClearCall)(int32_t Device, SFLocation* Location);

enum {
    SF_LOAD_BANK = 11,   /* SFBankCall: the buffer holds the SoundFont file's path */
    SF_BANK_NAME = 12,   /* SFBankCall: the name of the SoundFont in the bank */
    SF_BANK_FILE = 13,   /* SFBankCall: its file's path */
    SF_CLEAR_BANK = 14,  /* SFClearCall */
    SF_PRESET_NAME = 16, /* SFBankCall: the name of a preset of the bank */
    SF_ENTRIES = 17
};

/* The exported table: its first entry is an SFHandshake. */
typedef struct SFManagerTable {
    SFHandshake Handshake;
} SFManagerTable;

#ifdef __cplusplus
}
#endif

#endif
