// Numbers that the printer layer shares with the Windows spooler: error codes,
// printer attribute bits and printer status bits of PRINTER_INFO_2.
#pragma once
#include <cstdint>

namespace printing {

inline constexpr std::int32_t ERROR_SUCCESS = 0;
inline constexpr std::int32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::int32_t ERROR_INVALID_HANDLE = 6;
inline constexpr std::int32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr std::int32_t ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr std::int32_t ERROR_INVALID_LEVEL = 124;
inline constexpr std::int32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr std::int32_t RPC_S_SERVER_UNAVAILABLE = 1722;
inline constexpr std::int32_t ERROR_INVALID_PRINTER_NAME = 1801;

inline constexpr std::int32_t PRINTER_ATTRIBUTE_QUEUED = 0x1;
inline constexpr std::int32_t PRINTER_ATTRIBUTE_DIRECT = 0x2;
inline constexpr std::int32_t PRINTER_ATTRIBUTE_DEFAULT = 0x4;
inline constexpr std::int32_t PRINTER_ATTRIBUTE_SHARED = 0x8;
inline constexpr std::int32_t PRINTER_ATTRIBUTE_NETWORK = 0x10;
inline constexpr std::int32_t PRINTER_ATTRIBUTE_HIDDEN = 0x20;
inline constexpr std::int32_t PRINTER_ATTRIBUTE_LOCAL = 0x40;
inline constexpr std::int32_t PRINTER_ATTRIBUTE_WORK_OFFLINE = 0x400;
inline constexpr std::int32_t PRINTER_ATTRIBUTE_PUBLISHED = 0x2000;
inline constexpr std::int32_t PRINTER_ATTRIBUTE_FAX = 0x4000;

inline constexpr std::int32_t PRINTER_STATUS_PAUSED = 0x1;
inline constexpr std::int32_t PRINTER_STATUS_ERROR = 0x2;
inline constexpr std::int32_t PRINTER_STATUS_PENDING_DELETION = 0x4;
inline constexpr std::int32_t PRINTER_STATUS_PAPER_JAM = 0x8;
inline constexpr std::int32_t PRINTER_STATUS_PAPER_OUT = 0x10;
inline constexpr std::int32_t PRINTER_STATUS_PAPER_PROBLEM = 0x40;
inline constexpr std::int32_t PRINTER_STATUS_OFFLINE = 0x80;
inline constexpr std::int32_t PRINTER_STATUS_PRINTING = 0x400;
inline constexpr std::int32_t PRINTER_STATUS_OUTPUT_BIN_FULL = 0x800;
inline constexpr std::int32_t PRINTER_STATUS_NOT_AVAILABLE = 0x1000;
inline constexpr std::int32_t PRINTER_STATUS_WARMING_UP = 0x10000;
inline constexpr std::int32_t PRINTER_STATUS_TONER_LOW = 0x20000;
inline constexpr std::int32_t PRINTER_STATUS_NO_TONER = 0x40000;
inline constexpr std::int32_t PRINTER_STATUS_USER_INTERVENTION = 0x100000;
inline constexpr std::int32_t PRINTER_STATUS_DOOR_OPEN = 0x400000;
inline constexpr std::int32_t PRINTER_STATUS_SERVER_UNKNOWN = 0x800000;
inline constexpr std::int32_t PRINTER_STATUS_SERVER_OFFLINE = 0x2000000;

}  // namespace printing
