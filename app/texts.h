#pragma once
// The program's own texts, as the panel and its messages show them: written
// here as words, held as Windows-1251 bytes (runtime/cp1251_literal.h). The
// test bed reads them from here (scripts/lib/program_facts.py).
#include "runtime/cp1251_literal.h"

// Title of the window and of the program's messages.
inline constexpr const char* kProgramTitle = Cp1251Literal<u8"Virtual Q7700-Ethernet demo">;

inline constexpr const char* kLabelIpText = Cp1251Literal<u8"IP Q7700-Ethernet: ">;
inline constexpr const char* kDefaultPeerAddress = Cp1251Literal<u8"192.168.0.10">;
inline constexpr const char* kLabelPortText = Cp1251Literal<u8"Порт: ">;
inline constexpr const char* kDefaultPort = Cp1251Literal<u8"2048">;
inline constexpr const char* kStopText = Cp1251Literal<u8"Стоп">;
inline constexpr const char* kStartText = Cp1251Literal<u8"Пуск">;
inline constexpr const char* kLabelMessageText = Cp1251Literal<u8"Сообщение">;
inline constexpr const char* kLabelCodesText = Cp1251Literal<u8"ASCII-коды">;
inline constexpr const char* kDefaultCode1 = Cp1251Literal<u8"10">;
inline constexpr const char* kDefaultCode2 = Cp1251Literal<u8"13">;
inline constexpr const char* kSendText = Cp1251Literal<u8"Передать">;
inline constexpr const char* kLabelReceivedText = Cp1251Literal<u8"Принято:">;

inline constexpr const char* kNetworkStartFailedText =
    Cp1251Literal<u8"Проблемы инициализации сетевого адаптера. Программа будет закрыта.">;
// The busy-port message: kPortBusyBefore, the port number, kPortBusyAfter.
inline constexpr const char* kPortBusyBefore = Cp1251Literal<u8"Порт ">;
inline constexpr const char* kPortBusyAfter =
    Cp1251Literal<u8" занят. Вероятно, его использует другая программа.">;
inline constexpr const char* kErrorTitle = Cp1251Literal<u8"Ошибка!">;
inline constexpr const char* kCannotConnectText = Cp1251Literal<u8"Невозможно подключиться!">;
