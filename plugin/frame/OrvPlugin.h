/* The orv plug-in interface: what a decoder plug-in exports, how it calls back into the host,
 * the command and notification codes, and the receiver information record the host hands over.
 * Shared by the plug-ins and orvhost; plain C so either side may be written in C or C++. */
#ifndef ORV_PLUGIN_H
#define ORV_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The host's window, opaque to the plug-in: it is only stored and compared. */
typedef uintptr_t OrvHostWindow;

/* A started decoder window as the host sees it: a small handle from the plug-in's table, so it
 * fits in 32 bits on a 64-bit system. Never 0 (no instance) nor -1 (start failed). */
typedef int32_t OrvInstance;
#define ORV_NO_INSTANCE ((OrvInstance)0)
#define ORV_START_FAILED ((OrvInstance)-1)

/* Interface version: the host must offer at least this, and the plug-in answers with it. */
#define ORV_INTERFACE_VERSION 0x100

/* What a plug-in window writes into the host's flags word before anything else. */
#define ORV_PLUGIN_FLAGS 0xFFFEA6FDu

/* What a window's host link answers, without calling the host, once it has detached. */
#define ORV_NOT_ATTACHED ((int32_t)INT32_MIN)

/* Command and notification codes (one value space). */
#define ORV_POWER 0x0100
#define ORV_FREQUENCY 0x0800
#define ORV_CODE_0801 0x0801
#define ORV_MODE 0x0900
#define ORV_SIGNAL_LEVEL 0x0B00
#define ORV_CODE_0B01 0x0B01
#define ORV_ATTENUATOR 0x0C01
#define ORV_SET_ATTENUATOR 0x0D01
#define ORV_VOLUME 0x0E00
#define ORV_DATA_OUTPUT 0x0E01
#define ORV_SET_VOLUME 0x1100
#define ORV_SET_DATA_OUTPUT 0x1101
#define ORV_DETACH 0x4000
#define ORV_GET 0x4002

/* The mode the plug-ins tune traffic and control channels with. */
#define ORV_MODE_NFM 2

/* The host's receiver information record. The plug-ins read two fields; the rest is the host's. */
#define ORV_RECEIVER_INFO_SIZE 0x118
typedef struct OrvReceiverInfo {
    uint8_t hostData0[0xA0];
    int32_t receiverNumber; /* 0xA0: the host's number of this receiver */
    uint8_t hostData1[0x114 - 0xA4];
    int32_t maxVolume; /* 0x114: top of the receiver's volume range */
} OrvReceiverInfo;

/* The host's function through which a window sends commands:
 * result = callback(instance or ORV_NO_INSTANCE, code, parameter, length, pointer).
 * The length comes before the pointer; the pointer is null and the length 0 except for
 * ORV_DETACH, which passes the plug-in's name and its length with the terminating zero. */
typedef int32_t (*OrvHostCallback)(OrvInstance instance, int32_t code, int32_t parameter, int32_t length,
                                   const char* pointer);

/* The four entry points, exported by every plug-in under these names. */

/* Checks the host's interface version, writes the display name into name (a bounded copy of at most
 * nameLength bytes) and returns ORV_INTERFACE_VERSION, or 0 when the plug-in cannot run. */
int32_t orvPluginInit(int32_t hostVersion, uint32_t hostToken, char* name, uint32_t nameLength);

/* Opens one decoder window for the host's receiver; returns its instance, or ORV_START_FAILED.
 * The record is read during the call only. */
int32_t orvPluginStart(OrvHostWindow hostWindow, const OrvReceiverInfo* info, OrvHostCallback callback,
                       uint32_t* flags);

/* Offers a change of the host's receiver to the plug-in's windows; 1 when one took it, else 0. */
int32_t orvPluginNotify(OrvHostWindow hostWindow, int32_t code, int32_t value, int32_t extra1, int32_t extra2);

void orvPluginDone(void);

/* The entry points' types, for a host that looks them up by name. */
typedef int32_t (*OrvPluginInitFn)(int32_t, uint32_t, char*, uint32_t);
typedef int32_t (*OrvPluginStartFn)(OrvHostWindow, const OrvReceiverInfo*, OrvHostCallback, uint32_t*);
typedef int32_t (*OrvPluginNotifyFn)(OrvHostWindow, int32_t, int32_t, int32_t, int32_t);
typedef void (*OrvPluginDoneFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* ORV_PLUGIN_H */
