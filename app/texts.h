#pragma once
// The program's own texts, as the panel and its messages show them
// (Windows-1251 bytes; the Russian words are given beside each).

// Title of the window and of the program's messages.
inline constexpr char kProgramTitle[] = "Virtual Q7700-Ethernet demo";

inline constexpr char kLabelIpText[] = "IP Q7700-Ethernet: ";
inline constexpr char kDefaultPeerAddress[] = "192.168.0.10";
inline constexpr char kLabelPortText[] = "\xCF\xEE\xF0\xF2: "; // "Порт: "
inline constexpr char kDefaultPort[] = "2048";
inline constexpr char kStopText[] = "\xD1\xF2\xEE\xEF";                             // "Стоп"
inline constexpr char kStartText[] = "\xCF\xF3\xF1\xEA";                            // "Пуск"
inline constexpr char kLabelMessageText[] = "\xD1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5"; // "Сообщение"
inline constexpr char kLabelCodesText[] = "ASCII-\xEA\xEE\xE4\xFB"; // "ASCII-коды"
inline constexpr char kDefaultCode1[] = "10";
inline constexpr char kDefaultCode2[] = "13";
inline constexpr char kSendText[] = "\xCF\xE5\xF0\xE5\xE4\xE0\xF2\xFC";       // "Передать"
inline constexpr char kLabelReceivedText[] = "\xCF\xF0\xE8\xED\xFF\xF2\xEE:"; // "Принято:"

// "Проблемы инициализации сетевого адаптера. Программа будет закрыта."
inline constexpr char kNetworkStartFailedText[] =
    "\xCF\xF0\xEE\xE1\xEB\xE5\xEC\xFB \xE8\xED\xE8\xF6\xE8\xE0\xEB\xE8\xE7\xE0\xF6\xE8\xE8 "
    "\xF1\xE5\xF2\xE5\xE2\xEE\xE3\xEE \xE0\xE4\xE0\xEF\xF2\xE5\xF0\xE0. "
    "\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0 \xE1\xF3\xE4\xE5\xF2 \xE7\xE0\xEA\xF0\xFB\xF2\xE0.";

// "Порт " N " занят. Вероятно, его использует другая программа."
inline constexpr char kPortBusyBefore[] = "\xCF\xEE\xF0\xF2 ";
inline constexpr char kPortBusyAfter[] =
    " \xE7\xE0\xED\xFF\xF2. \xC2\xE5\xF0\xEE\xFF\xF2\xED\xEE, \xE5\xE3\xEE "
    "\xE8\xF1\xEF\xEE\xEB\xFC\xE7\xF3\xE5\xF2 \xE4\xF0\xF3\xE3\xE0\xFF "
    "\xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0.";

inline constexpr char kErrorTitle[] = "\xCE\xF8\xE8\xE1\xEA\xE0!"; // "Ошибка!"
// "Невозможно подключиться!"
inline constexpr char kCannotConnectText[] =
    "\xCD\xE5\xE2\xEE\xE7\xEC\xEE\xE6\xED\xEE \xEF\xEE\xE4\xEA\xEB\xFE\xF7\xE8\xF2\xFC\xF1\xFF!";
