/* Tarvenix: driver library of the measurement box on the PC parallel port.
 *
 * All 45 exports in the order of their ordinals. Callers may bind by name
 * (version node TARVENIX_1) or, on platforms that know ordinals, by number;
 * the ordinal of each export is listed in tarvenix_ordinal below.
 * Texts are zero-terminated single-byte Windows-1252.
 * This header is plain C so that any C or C++ caller can use it. */
#ifndef TARVENIX_H
#define TARVENIX_H

#include <stdint.h>

#if defined(TARVENIX_BUILDING)
#define TARVENIX_API __attribute__((visibility("default")))
#else
#define TARVENIX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Receives one complete text of the library; called on the caller's thread
 * from inside the export that produces it. Copy what you keep. */
typedef void (*MessageSink)(const char *text);

enum tarvenix_ordinal {
    TARVENIX_ORD_outbyte = 1,
    TARVENIX_ORD_inbyte = 2,
    TARVENIX_ORD_outbyte_na = 3,
    TARVENIX_ORD_inbyte_na = 4,
    TARVENIX_ORD_init_da = 5,
    TARVENIX_ORD_ShowDARefValues = 6,
    TARVENIX_ORD_lcasetup = 7,
    TARVENIX_ORD_lcasetup_013 = 8,
    TARVENIX_ORD_lcaLPTsetup = 9,
    TARVENIX_ORD_lcaMM0setup = 10,
    TARVENIX_ORD_UM = 11,
    TARVENIX_ORD_U0 = 12,
    TARVENIX_ORD_U1 = 13,
    TARVENIX_ORD_SetIT1Volt = 14,
    TARVENIX_ORD_GetUDC = 15,
    TARVENIX_ORD_InitTarvenix_EEPROM = 16,
    TARVENIX_ORD_AutoSetup = 17,
    TARVENIX_ORD_InitTarvenixDevice = 18,
    TARVENIX_ORD_DeInitTarvenix = 19,
    TARVENIX_ORD_IsTarvenixParFileWritten = 20,
    TARVENIX_ORD_IsTarvenixInitialized = 21,
    TARVENIX_ORD_SetDigitalPortP0 = 22,
    TARVENIX_ORD_GetDigitalPortP1 = 23,
    TARVENIX_ORD_BcKestel1SetDigitalPortDir = 24,
    TARVENIX_ORD_BcKestel1SetDigitalPort = 25,
    TARVENIX_ORD_BcKestel1GetDigitalPort = 26,
    TARVENIX_ORD_getADV = 27,
    TARVENIX_ORD_getADmStat = 28,
    TARVENIX_ORD_getADVm = 29,
    TARVENIX_ORD_GetADRefVoltage = 30,
    TARVENIX_ORD_putDAVolt = 31,
    TARVENIX_ORD_BcKestel1putDAVolt = 32,
    TARVENIX_ORD_StartPWM16 = 33,
    TARVENIX_ORD_GetPWM16 = 34,
    TARVENIX_ORD_StartFreqM = 35,
    TARVENIX_ORD_GetFreqM = 36,
    TARVENIX_ORD_GetCount16 = 37,
    TARVENIX_ORD_GetCount32 = 38,
    TARVENIX_ORD_FindMaxTesRate = 39,
    TARVENIX_ORD_getADTes = 40,
    TARVENIX_ORD_getADTesDat = 41,
    TARVENIX_ORD_enableDLLmessages_PortwardInit = 42,
    TARVENIX_ORD_CopyParaAndLcbFiles2DiademDir = 43,
    TARVENIX_ORD_GetTarvenixDllDir = 44,
    TARVENIX_ORD_enableDLLmessages_PortwardInitVb = 45
};

/* 1 */ TARVENIX_API void outbyte(uint8_t address, uint8_t value);         /* write one box register */
/* 2 */ TARVENIX_API uint8_t inbyte(uint8_t address);                      /* read one box register */
/* 3 */ TARVENIX_API void outbyte_na(uint8_t value);                       /* write the register addressed last */
/* 4 */ TARVENIX_API uint8_t inbyte_na(void);                              /* read the register addressed last */
/* 5 */ TARVENIX_API int32_t init_da(float volts);                         /* calibrate the reference sources; 0 ok, 1/2 fault */
/* 6 */ TARVENIX_API int32_t ShowDARefValues(int32_t header);              /* reference calibration to the sink; 0 */
/* 7 */ TARVENIX_API int32_t lcasetup(const char *file);                   /* load board 007 logic: 0 ok, 1 no reset, 2 no file, 3 DONE low */
/* 8 */ TARVENIX_API int32_t lcasetup_013(const char *file);               /* load 013 logic byte-wide: 0/1/2/3 as lcasetup */
/* 9 */ TARVENIX_API uint16_t lcaLPTsetup(const char *file, int32_t lsb_first); /* port-side logic: 8 answering, 0 silent, 10h no file */
/* 10 */ TARVENIX_API uint16_t lcaMM0setup(const char *file, int32_t lsb_first); /* expansion card logic: 8 found, 0 absent, 10h no file */
/* 11 */ TARVENIX_API uint16_t UM(float volts);                            /* set reference source UM; returns the count */
/* 12 */ TARVENIX_API uint16_t U0(float volts);                            /* set reference output U0; returns the count */
/* 13 */ TARVENIX_API uint16_t U1(float volts);                            /* set reference output U1; returns the count */
/* 14 */ TARVENIX_API uint16_t SetIT1Volt(float volts);                    /* IT1 threshold through U0; returns the count */
/* 15 */ TARVENIX_API float GetUDC(void);                                  /* supply voltage of the box in volts */
/* 16 */ TARVENIX_API int32_t InitTarvenix_EEPROM(int32_t program);        /* show (0) or program (1) the identity EEPROM; status code */
/* 17 */ TARVENIX_API int32_t AutoSetup(int32_t search, int32_t unused, int32_t *port, float *ref_volts); /* 1 ok, 0 failed */
/* 18 */ TARVENIX_API int32_t InitTarvenixDevice(int32_t port);            /* 0 = search 3BCh, 378h, 278h; 1 ok, 0 failed */
/* 19 */ TARVENIX_API int32_t DeInitTarvenix(void);                        /* release the box, close port access; 1 closed */
/* 20 */ TARVENIX_API int32_t IsTarvenixParFileWritten(void);              /* 1 after the parameter file was written */
/* 21 */ TARVENIX_API int32_t IsTarvenixInitialized(void);                 /* 1 when a box is initialised */
/* 22 */ TARVENIX_API void SetDigitalPortP0(uint8_t value);                /* write digital port P0 */
/* 23 */ TARVENIX_API uint8_t GetDigitalPortP1(void);                      /* read digital port P1 */
/* 24 */ TARVENIX_API void BcKestel1SetDigitalPortDir(uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4); /* expansion port directions */
/* 25 */ TARVENIX_API void BcKestel1SetDigitalPort(int32_t port, uint8_t value); /* write expansion port 1-3 */
/* 26 */ TARVENIX_API uint8_t BcKestel1GetDigitalPort(int32_t port);       /* read expansion port 1-3 */
/* 27 */ TARVENIX_API float getADV(uint8_t gain, uint8_t mux);             /* one A/D measurement in volts; +-99.999 out of range */
/* 28 */ TARVENIX_API uint16_t getADmStat(uint8_t gain, uint8_t mux, int32_t samples); /* rounded mean in digits, statistics to the sink */
/* 29 */ TARVENIX_API float getADVm(uint8_t gain, uint8_t mux, int32_t samples); /* averaged A/D measurement in volts */
/* 30 */ TARVENIX_API float GetADRefVoltage(void);                         /* A/D reference voltage in volts */
/* 31 */ TARVENIX_API int32_t putDAVolt(uint8_t output, float volts, uint8_t update); /* AO1/AO2: 0 set, 1 clamped or not possible */
/* 32 */ TARVENIX_API void BcKestel1putDAVolt(int32_t channel, float volts, uint8_t update); /* expansion D/A channel 1-8 */
/* 33 */ TARVENIX_API void StartPWM16(uint8_t counter, uint8_t mode);      /* start a pulse-width measurement, counter 0-2 */
/* 34 */ TARVENIX_API float GetPWM16(uint8_t counter, uint8_t mode);       /* pulse width in seconds, or a negative status */
/* 35 */ TARVENIX_API void StartFreqM(uint8_t gate_counter, uint8_t count_counter, uint16_t gate); /* start a frequency measurement */
/* 36 */ TARVENIX_API float GetFreqM(uint8_t count_counter, uint16_t gate); /* frequency in hertz, or a negative status */
/* 37 */ TARVENIX_API uint16_t GetCount16(uint8_t counter, uint8_t reset); /* 16-bit event counter */
/* 38 */ TARVENIX_API uint32_t GetCount32(uint8_t channel, uint8_t reset); /* 32-bit event counter */
/* 39 */ TARVENIX_API int32_t FindMaxTesRate(uint16_t start_interval_us);  /* shortest lossless sampling interval, -r, or 0 */
/* 40 */ TARVENIX_API uint16_t getADTes(const uint16_t *list, uint16_t *ring, uint16_t post, uint16_t interval,
                                        int32_t trigger_entry, uint16_t pre, uint16_t level, uint8_t mode,
                                        uint32_t trigger_timeout, uint16_t *trigger_index); /* transient sampling into the ring */
/* 41 */ TARVENIX_API uint16_t getADTesDat(const uint16_t *list, uint16_t *ring, float *output, uint16_t count,
                                           uint16_t interval, int32_t trigger_entry, uint16_t pre, float level,
                                           uint8_t mode, uint32_t trigger_timeout, uint16_t *trigger_index); /* sampling into times and volts */
/* 42 */ TARVENIX_API int32_t enableDLLmessages_PortwardInit(MessageSink sink); /* register the sink, get port access; 1/0 */
/* 43 */ TARVENIX_API int32_t CopyParaAndLcbFiles2DiademDir(const char *target); /* copy parameter and bitstream files; 1/0 */
/* 44 */ TARVENIX_API int32_t GetTarvenixDllDir(char *buffer, int32_t size); /* the library's directory, ending in '/'; 1/0 */
/* 45 */ TARVENIX_API int32_t enableDLLmessages_PortwardInitVb(void);      /* as 42 without a sink */

#ifdef __cplusplus
}
#endif

#endif
