// The NetBIOS calls the tools make, answered from this machine's network interfaces.
#pragma once

#include "plat/types.h"

namespace plat {

constexpr BYTE NCBRESET = 0x32;
constexpr BYTE NCBASTAT = 0x33;
constexpr BYTE NCBENUM = 0x37;
constexpr BYTE NRC_GOODRET = 0x00;
constexpr BYTE NRC_BUFLEN = 0x01;
constexpr BYTE NRC_ILLCMD = 0x03;
constexpr BYTE NRC_BRIDGE = 0x23;
constexpr int NCBNAMSZ = 16;

struct NCB {
  BYTE ncb_command;
  BYTE ncb_retcode;
  BYTE ncb_lsn;
  BYTE ncb_num;
  BYTE* ncb_buffer;
  WORD ncb_length;
  BYTE ncb_callname[NCBNAMSZ];
  BYTE ncb_name[NCBNAMSZ];
  BYTE ncb_rto;
  BYTE ncb_sto;
  void (*ncb_post)(NCB*);
  BYTE ncb_lana_num;
  BYTE ncb_cmd_cplt;
  BYTE ncb_reserve[18];
  HANDLE ncb_event;
};

struct LANA_ENUM {
  BYTE length;
  BYTE lana[255];
};

// Only the leading hardware address is filled in; the counters after it stay 0.
struct ADAPTER_STATUS {
  BYTE adapter_address[6];
  BYTE counters[54];
};

// One adapter per network interface that has a hardware address other than all zeros (loopback has
// none), numbered from 0 in the order of their names. NCBENUM lists them into a LANA_ENUM buffer;
// NCBRESET accepts any listed number; NCBASTAT with the call name "*" writes the adapter's status.
// Returns the return code, which is also in `ncb_retcode`: NRC_BRIDGE for an unlisted adapter,
// NRC_BUFLEN for a buffer too small (an ADAPTER_STATUS at least), NRC_ILLCMD for another command.
BYTE Netbios(NCB* ncb);

}  // namespace plat
