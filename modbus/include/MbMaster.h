/* MbMaster: Modbus master over TCP and serial lines (RTU or ASCII), raw frame exchange, an error
 * log, and two helpers that write sub-module registers through a VEXA coupler.
 *
 * Every function returns a result code (below) and never throws. Handles are opaque; a handle is
 * valid from a successful connect until KMB_DisConnectMDBServer. Buffers belong to the caller and
 * are never written past the count or length the caller passes. */
#ifndef VEXA_MBMASTER_H
#define VEXA_MBMASTER_H

#include <stdint.h>

#if defined(MBMASTER_BUILDING)
#define KMB_API __attribute__((visibility("default")))
#else
#define KMB_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. A Modbus exception answered by the slave is returned as its code (1..255). */
#define KMB_OK 0
#define KMB_ERR_HANDLE 100        /* null or unknown handle, or (raw read) nothing received */
#define KMB_ERR_PROTOCOL_ID 101   /* TCP reply with a non-zero protocol identifier */
#define KMB_ERR_BAD_FRAME 102     /* serial reply with a bad CRC/LRC or delimiters; exception without a code */
#define KMB_ERR_SEQUENCE 109      /* reply to another function (out of sequence) */
#define KMB_ERR_SEND 200          /* the request could not be sent */
#define KMB_ERR_TIMEOUT 201       /* no reply within the time-out */
#define KMB_ERR_SHORT_REPLY 202   /* reply too short, or its byte count does not match the request */
#define KMB_ERR_ARGUMENT 300      /* count, address, unit or value out of range, or a NULL buffer */
#define KMB_ERR_VEXA_SEND 503     /* coupler helper: request refused or not sent */
#define KMB_ERR_VEXA_NO_REPLY 504 /* coupler helper: no reply to the register write */
#define KMB_ERR_VEXA_SEARCH 505   /* coupler helper: no (complete) sub-module search reply */
#define KMB_ERR_VEXA_NO_SUB 506   /* coupler helper: no sub module with that address */
#define KMB_ERR_VEXA_REFUSED 507  /* coupler helper: the coupler refused the write */
#define KMB_ERR_RS_SEND 508       /* RS-485 coupler helper: request refused or not sent whole */
#define KMB_ERR_FAILURE 999       /* internal failure (out of memory) */

/* Standard Modbus exception codes, as returned by the read and write functions. */
#define KMB_EX_ILLEGAL_FUNCTION 1
#define KMB_EX_ILLEGAL_DATA_ADDRESS 2
#define KMB_EX_ILLEGAL_DATA_VALUE 3
#define KMB_EX_SLAVE_DEVICE_FAILURE 4
#define KMB_EX_ACKNOWLEDGE 5
#define KMB_EX_SLAVE_BUSY 6
#define KMB_EX_MEMORY_PARITY 8
#define KMB_EX_GATEWAY_PATH 10
#define KMB_EX_GATEWAY_TARGET 11

/* Serial framing of KMB_SerConnectMDBServer. */
#define KMB_FRAMING_RTU 0
#define KMB_FRAMING_ASCII 1

/* Serial notification: called after every serial read and write with the registered message
 * number, wParam KMB_NOTIFY_READ or KMB_NOTIFY_WRITE and lParam the number of bytes moved. It
 * runs on the calling thread, inside the library lock: it must not call back into the library. */
#define KMB_NOTIFY_READ 0
#define KMB_NOTIFY_WRITE 1
typedef void (*KMB_NotifyProc)(unsigned int message, intptr_t wParam, intptr_t lParam);

/* Connections. TCP: waits up to 3 s for the connection; replies time out after 100 ms.
 * Serial: framing 0 RTU / 1 ASCII; port is a device path or COMn; dataBits 5..8; parity
 * 0 none, 1 odd, 2 even, 3 mark, 4 space; stopBits 0 one, 1 one and a half, 2 two;
 * p7 RTS control (0 off, 1 on, 2 handshake), p8 DSR output flow (no effect on Linux),
 * p9 CTS output flow (non-zero = hardware handshake), p10 unused; readTimeout in ms
 * (0 or below: 1000). Null when the connection cannot be made. */
KMB_API void* KMB_TCPConnectMDBServer(const char* address, int port, int unused);
KMB_API void* KMB_SerConnectMDBServer(int framing, const char* port, int baud, int dataBits, int parity,
                                      int stopBits, int p7, int p8, int p9, int p10, int readTimeout);
KMB_API void KMB_DisConnectMDBServer(void* handle);

/* Reads: coils and discrete inputs arrive one byte per bit (0 or 1), registers as host-order
 * 16-bit values; out receives exactly count items. transaction: TCP transaction id, 0 = next
 * value of a library-wide counter; ignored on serial lines. */
KMB_API int KMB_ReadCoil(void* handle, int unit, int start, int count, unsigned char* out, int transaction);
KMB_API int KMB_ReadInput(void* handle, int unit, int start, int count, unsigned char* out, int transaction);
KMB_API int KMB_ReadHoldReg(void* handle, int unit, int start, int count, short* out, int transaction);
KMB_API int KMB_ReadInputReg(void* handle, int unit, int start, int count, short* out, int transaction);

/* Writes. A non-zero coil value switches the coil on; values holds one byte per coil. */
KMB_API int KMB_WriteCoilSingle(void* handle, int unit, int address, int value, int transaction);
KMB_API int KMB_WriteRegSingle(void* handle, int unit, int address, int value, int transaction);
KMB_API int KMB_WriteCoilMulitiple(void* handle, int unit, int start, int count, const unsigned char* values,
                                   int transaction);
KMB_API int KMB_WriteRegMulitiple(void* handle, int unit, int start, int count, const short* values,
                                  int transaction);

/* Raw frames. WriteCmdBuf sends the caller's bytes (RTU: followed by the CRC; ASCII: in ASCII
 * form) and returns the number of bytes that went out, 0 when len < 1 or the send failed.
 * ReadRecBuf receives one frame and copies at most len bytes of it (serial: the checked frame
 * without its CRC/LRC); 0 with *outLen = bytes copied, or 100 with *outLen = 0. */
KMB_API int KMB_WriteCmdBuf(void* handle, const unsigned char* frame, int len, int unused);
KMB_API int KMB_ReadRecBuf(void* handle, unsigned char* buf, int len, int* outLen, int unused);

/* Registers (proc non-null) or removes (null) the serial notification. 0. */
KMB_API int KMB_SetCommunicationHandle(void* handle, KMB_NotifyProc proc, int message);

/* Coupler helpers. SetRegByVexa writes count registers from start of the sub module subAddr
 * behind the Ethernet coupler at address (MAC "aa:bb:cc:dd:ee:ff"), UDP port 8801 from local port
 * 9988; start 0..255 (bit 7 selects the property registers), count 1..255, subAddr 1..255:
 * 0 or 503..507. SetRegByRSVexa sends the private write frame through an open connection to
 * the RS-485 coupler (station 0..255, start 0..255, count 1..127) without waiting for a reply:
 * 0 or 508. */
KMB_API int KMB_SetRegByVexa(const char* address, const char* mac, int subAddr, int start, int count,
                             const short* values);
KMB_API int KMB_SetRegByRSVexa(void* handle, int station, int start, int count, const short* values);

#ifdef __cplusplus
}
#endif

#endif /* VEXA_MBMASTER_H */
